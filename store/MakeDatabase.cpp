// Build tool: makes a database file from the schema file.
#include <SQLiteCpp/SQLiteCpp.h>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::cerr << "usage: make_database SCHEMA.sql OUTPUT.db\n";
        return 2;
    }
    std::ifstream schema(argv[1]);
    if (!schema) {
        std::cerr << "cannot read " << argv[1] << '\n';
        return 1;
    }
    std::stringstream text;
    text << schema.rdbuf();
    try {
        SQLite::Database db(argv[2], SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec(text.str());
    } catch (const std::exception &e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
