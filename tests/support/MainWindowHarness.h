#pragma once

#include "app/TMainForm.h"
#include "store/Connections.h"
#include "support/FakePlatform.h"
#include "support/RecordingMessageBoxes.h"
#include "support/SettableClock.h"
#include "support/TestDatabase.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

namespace brisfold {
class OrderBoard;
class TFCadastroDelivery;
class TFEntrega;
} // namespace brisfold

namespace brisfold::test {

// The main window as the program's start makes it: a database file made from the schema and
// opened as the start opens it, the platform's calls and the message boxes recorded, and the web
// services wherever the test points them.
class MainWindowHarness final
{
public:
    struct Options
    {
        QString courierUrl;     // empty: the build's address
        QString marketplaceUrl; // empty: the build's address
        // A program folder without its database, so that every opening fails.
        bool withoutDatabase = false;
    };

    MainWindowHarness();
    explicit MainWindowHarness(const Options &options);
    ~MainWindowHarness();
    MainWindowHarness(const MainWindowHarness &) = delete;
    MainWindowHarness &operator=(const MainWindowHarness &) = delete;

    TMainForm &form() { return *form_; }
    // The program folder.
    QString folder() const;
    // A second connection to the program's file, for setting up and checking rows.
    Database &db();
    // Whether the program's own connection is open.
    bool databaseOpen() const { return connections_.writer.isOpen(); }

    // The window's element of that object name and kind; fails the test when there is none.
    template <typename T> T *find(const char *name) const
    {
        return required(form_->findChild<T *>(QString::fromLatin1(name)), name);
    }
    OrderBoard &board() const;
    TFEntrega &entrega() const;
    TFCadastroDelivery &credentialsDialog() const;

    // Signs in as far as the window is concerned (flag and face), without the platform.
    void signInFace();

    FakePlatform platform;
    RecordingMessageBoxes messages;
    SettableClock clock{QDateTime::currentDateTime()};

private:
    template <typename T> static T *required(T *found, const char *name)
    {
        if (!found)
            fail(name);
        return found;
    }
    [[noreturn]] static void fail(const char *name);

    std::optional<TestDatabase> testDatabase_;
    QTemporaryDir emptyFolder_;
    Connections connections_;
    std::unique_ptr<TMainForm> form_;
};

} // namespace brisfold::test
