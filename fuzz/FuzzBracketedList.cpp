// `SepararLista` on any text, and the list writer read back by it.
//
// Input: the text to split; the same bytes, cut at line breaks, are the items to write.

#include "FuzzSupport.h"
#include "common/TextConversion.h"
#include "courier/BracketedList.h"

using namespace brisfold;
using brisfold::fuzz::require;

namespace {

bool hasBracket(const QString &text)
{
    return text.contains(u'[') || text.contains(u']');
}

void checkSplit(const QString &text)
{
    const QStringList items = SepararLista(text);
    require(items.size() == text.count(u']'), "one item for every closing bracket", text);
    for (const QString &item : items)
        require(!hasBracket(item), "no item holds a bracket", item);
}

// The writer's items come back in order, except one cut off by the length limit. An item holding
// a bracket, once in the code page, is written unescaped by design and cannot be read back.
void checkRoundTrip(const QStringList &items)
{
    BracketedList list;
    QString whole;
    QStringList expected;
    bool readable = true;
    for (const QString &item : items) {
        if (list.isFull())
            break;
        list.append(item);
        const QString narrow = TextConversion::toCodePage1252(item);
        readable = readable && !hasBracket(narrow);
        whole += QLatin1Char('[') + narrow + QLatin1String("] ");
        if (whole.size() - 2 < BracketedList::maxLength)
            expected.append(narrow);
    }
    require(list.text().size() <= BracketedList::maxLength, "the list keeps 255 characters at most");
    require(list.text() == whole.left(BracketedList::maxLength), "the list is the items cut at 255",
            list.text());
    if (readable)
        require(SepararLista(list.text()) == expected, "the written items are read back", list.text());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    checkSplit(text);
    checkSplit(fuzz::rawUtf16(data, size));
    checkRoundTrip(text.split(u'\n'));
    return 0;
}
