#pragma once

#include <QString>
#include <QtGlobal>

namespace brisfold {

class SupportLog;
struct BookingResult;
struct CheckSummary;
struct DeliveryChoices;
struct StoredOrder;

// The support log's lines, one function per kind of event, so every place that tells the log
// something says it the same way. Never a password, token, key or secret: only what a support
// person needs to follow what happened to an order. The lines go to the log installed with
// install(); without one (the tests, a program whose log could not start) nothing is written.
namespace eventlog {

// The log every line goes to; null for none. Set on the UI thread before anything logs, and
// cleared before the log is destroyed.
void install(SupportLog *log);
// Queues a line; never blocks, never throws.
void write(const QString &line);

QString programStarted(const QString &version, const QString &programFolder, const QString &database);
QString programEnded();
QString checkStarted();
QString checkEnded(const CheckSummary &summary, qint64 milliseconds);
QString orderStored(const StoredOrder &order);
// `how`: "automática" or "manual".
QString booking(const QString &how, const QString &orderNumber, const DeliveryChoices &choices,
                const BookingResult &result, qint64 milliseconds);
QString markedDelivered(const QString &orderNumber);
QString unknownOutcomeAnswered(const QString &orderNumber, bool postAgain);
QString signedIn(const QString &email);
QString signedOut(const QString &email);
QString credentialsSaved(const QString &login);
QString settingChanged(const QString &setting, const QString &before, const QString &after);
QString errorShown(const QString &where, const QString &text);

} // namespace eventlog
} // namespace brisfold
