#pragma once

#include <QString>
#include <QtGlobal>

namespace brisfold {

class Database;

// Booking a courier is a post followed by the order's mark. The dispatch dialog and the
// automatic dispatch each take a claim on the order first, so while one of them is between
// its post and its mark the other does not post the same order. The mark is re-read under the
// database lock as the claim is taken. Claims live in a temporary table of the one connection:
// a program that is killed leaves none behind.
class DispatchClaim final
{
public:
    // Throws DatabaseError.
    DispatchClaim(Database &db, qint64 orderId);
    ~DispatchClaim();
    DispatchClaim(const DispatchClaim &) = delete;
    DispatchClaim &operator=(const DispatchClaim &) = delete;

    // False when the order is gone, marked already, or another booking of it is under way.
    bool held() const { return held_; }
    bool found() const { return found_; }
    // The order's mark when it had one; empty when free or only claimed by the other path.
    const QString &mark() const { return mark_; }

private:
    Database &db_;
    qint64 orderId_;
    bool found_ = false;
    bool held_ = false;
    QString mark_;
};

} // namespace brisfold
