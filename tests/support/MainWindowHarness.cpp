#include "support/MainWindowHarness.h"

#include "app/StartSequence.h"
#include "board/OrderBoard.h"
#include "dispatch/TFEntrega.h"
#include "marketplace/TFCadastroDelivery.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace brisfold::test {

MainWindowHarness::MainWindowHarness()
    : MainWindowHarness(Options{})
{}

MainWindowHarness::MainWindowHarness(const Options &options)
{
    if (!options.withoutDatabase)
        testDatabase_.emplace();
    const ProgramFolder programFolder(folder());
    openDatabase(connections_, programFolder, platform, messages);
    WebServices services;
    if (!options.courierUrl.isEmpty())
        services.courier.baseUrl = options.courierUrl;
    if (!options.marketplaceUrl.isEmpty())
        services.marketplace.baseUrl = options.marketplaceUrl;
    form_ = std::make_unique<TMainForm>(platform, messages, connections_, clock, programFolder, services);
}

MainWindowHarness::~MainWindowHarness() = default;

QString MainWindowHarness::folder() const
{
    return testDatabase_ ? testDatabase_->folder() : emptyFolder_.path();
}

Database &MainWindowHarness::db()
{
    if (!testDatabase_)
        fail("database");
    return testDatabase_->db();
}

OrderBoard &MainWindowHarness::board() const
{
    return *required(form_->findChild<OrderBoard *>(), "board");
}

TFEntrega &MainWindowHarness::entrega() const
{
    return *required(form_->findChild<TFEntrega *>(), "FEntrega");
}

TFCadastroDelivery &MainWindowHarness::credentialsDialog() const
{
    return *required(form_->findChild<TFCadastroDelivery *>(), "FCadastroDelivery");
}

void MainWindowHarness::signInFace()
{
    form_->setVLogado(true);
    form_->Logado(true);
}

void MainWindowHarness::fail(const char *name)
{
    ADD_FAILURE() << "the main window has no " << name;
    throw std::runtime_error(std::string("missing ") + name);
}

} // namespace brisfold::test
