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
//
// What must outlive the program is the post itself: recordPosting() writes to the database, before
// the post goes out, that it is going out, and the mark removes it. A record found without a mark
// means the platform may have the booking (the program was killed, or no reply came back), so
// the order is not posted again without the user's word.
class DispatchClaim final
{
public:
    // Throws DatabaseError.
    DispatchClaim(Database &db, qint64 orderId);
    ~DispatchClaim();
    DispatchClaim(const DispatchClaim &) = delete;
    DispatchClaim &operator=(const DispatchClaim &) = delete;

    // Makes the tables the claims keep their state in, when missing. Throws DatabaseError.
    static void prepare(Database &db);

    // False when the order is gone, marked already, booked without its mark, or another
    // booking of it is under way.
    bool held() const { return held_; }
    bool found() const { return found_; }
    // Booked on the platform earlier, but its mark could not be written then.
    bool bookedUnmarked() const { return bookedUnmarked_; }
    // The order's mark when it had one.
    const QString &mark() const { return mark_; }
    // An unmarked order whose earlier post may have reached the platform.
    bool outcomeUnknown() const { return outcomeUnknown_; }

    // Records, durably, that the order's post is going out. Throws DatabaseError.
    void recordPosting();
    // The platform answered without booking, or the post never went out: the record goes.
    // Throws DatabaseError.
    void clearPosting();
    // Writes the "MACHINE" mark after a booking, removing the posting's record with it. Throws
    // DatabaseError, having remembered the booking so that no later claim posts the order again.
    void markBooked();

private:
    Database &db_;
    qint64 orderId_;
    bool found_ = false;
    bool held_ = false;
    bool bookedUnmarked_ = false;
    bool outcomeUnknown_ = false;
    QString mark_;
};

} // namespace brisfold
