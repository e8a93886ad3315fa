#pragma once

namespace brisfold::picture {

// Positions in the program's one picture list (resources/pictures, numbered from 00). Only the
// pictures that a window shows are named; the others keep their places.
inline constexpr int count = 20;
inline constexpr int aiqfome = 7;      // the marketplace logo of the credentials dialog
inline constexpr int logoAiqfome = 8;  // the marketplace logo on every card
inline constexpr int entregador4 = 12; // the request picture of an open order
inline constexpr int ok = 17;          // the tick of a booked or delivered order
inline constexpr int solicitando = 18; // an order waiting for the automatic dispatch
inline constexpr int trevant = 19;     // the brand logo in the header

} // namespace brisfold::picture
