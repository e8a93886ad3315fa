// The reference for the program's resident memory: an empty main window of the program's size,
// with the libraries the program needs initialised and used once each as the program uses them
// (an HTTPS request, the Latin-ASCII transliterator, a query on a database file), and nothing
// of the program. bench/run.sh measures it beside the program, so the table shows what part
// of the figure is the program's own.
// Usage: bench_floor_window HTTPS-URL DATABASE-FILE [QUIT-AFTER-MS]
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>
#include <memory>
#include <sqlite3.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace {

size_t discard(char *, size_t size, size_t count, void *)
{
    return size * count;
}

void request(const char *url)
{
    CURL *handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, url);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 10L);
    // The certificate is checked against the system store as the program's are; the sandbox's
    // own certificate fails that check after the whole handshake, which is what counts here.
    curl_easy_perform(handle);
    curl_easy_cleanup(handle);
}

void transliterate()
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> latinAscii(
        icu::Transliterator::createInstance("Latin-ASCII", UTRANS_FORWARD, status));
    icu::UnicodeString text = icu::UnicodeString::fromUTF8("Avenida Paranavaí, 1290 – “próximo ao mercado”");
    if (latinAscii)
        latinAscii->transliterate(text);
}

void query(const char *path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT * FROM PEDIDOS", -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s HTTPS-URL DATABASE-FILE [QUIT-AFTER-MS]\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    request(argv[1]);
    transliterate();
    query(argv[2]);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Brisfold")));
    window.resize(900, 600);
    window.show();
    if (argc == 4)
        QTimer::singleShot(std::atoi(argv[3]), &application, &QApplication::quit);
    return application.exec();
}
