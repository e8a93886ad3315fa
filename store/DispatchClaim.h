#pragma once

#include <QString>
#include <QtGlobal>

namespace brisfold {

class Database;

// Booking a courier is a post followed by the order's mark. The dispatch dialog and the
// automatic dispatch each take a claim on the order first, so while one of them is between
// its post and its mark the other does not post the same order. The mark is re-read under the
// database lock as the claim is taken. An order whose post went through but whose mark could
// not be written is remembered, so it is marked later instead of posted again. Both live in
// temporary tables of the one connection: a program that is killed leaves none behind.
class DispatchClaim final
{
public:
    // Throws DatabaseError.
    DispatchClaim(Database &db, qint64 orderId);
    ~DispatchClaim();
    DispatchClaim(const DispatchClaim &) = delete;
    DispatchClaim &operator=(const DispatchClaim &) = delete;

    // False when the order is gone, marked already, booked without its mark, or another
    // booking of it is under way.
    bool held() const { return held_; }
    bool found() const { return found_; }
    // Booked on the platform earlier, but its mark could not be written then.
    bool bookedUnmarked() const { return bookedUnmarked_; }
    // The order's mark when it had one.
    const QString &mark() const { return mark_; }

    // Writes the "MACHINE" mark after a booking. Throws DatabaseError, having remembered the
    // booking so that no later claim posts the order again.
    void markBooked();

private:
    Database &db_;
    qint64 orderId_;
    bool found_ = false;
    bool held_ = false;
    bool bookedUnmarked_ = false;
    QString mark_;
};

} // namespace brisfold
