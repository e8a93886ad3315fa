#include "platform/IniFile.h"

#include <gtest/gtest.h>

using brisfold::withIniValue;

TEST(IniFile, SetsTheValueAndKeepsEverythingElse)
{
    struct Case
    {
        const char *what;
        QByteArray before;
        QByteArray after;
    };
    const Case cases[] = {
        {"new file", "", "[Gestor]\r\nAbrir=1\r\n"},
        {"key already there", "[Gestor]\r\nAbrir=1\r\n", "[Gestor]\r\nAbrir=1\r\n"},
        {"key with another value, other keys kept", "[Gestor]\r\nVersao=2\r\nabrir = 0\r\nX=y\r\n",
         "[Gestor]\r\nVersao=2\r\nAbrir=1\r\nX=y\r\n"},
        {"section in another case", "[gestor]\nModo=a\n", "[gestor]\nModo=a\nAbrir=1\n"},
        {"other sections kept, key added at the end of its section",
         "[Outra]\nAbrir=9\n\n[Gestor]\nModo=a\n\n[Fim]\nK=v\n",
         "[Outra]\nAbrir=9\n\n[Gestor]\nModo=a\nAbrir=1\n\n[Fim]\nK=v\n"},
        {"section missing", "; comentario\n[Outra]\nK=v\n",
         "; comentario\n[Outra]\nK=v\n[Gestor]\nAbrir=1\n"},
        {"no final line break", "[Gestor]\nModo=a", "[Gestor]\nModo=a\nAbrir=1\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(
            withIniValue(c.before, QStringLiteral("Gestor"), QStringLiteral("Abrir"), QStringLiteral("1")),
            c.after);
    }
}
