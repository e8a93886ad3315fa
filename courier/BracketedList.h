#pragma once

#include <QString>
#include <QStringList>

namespace brisfold {

// The stored text form of the company's payment codes and courier categories:
// "[", item, "] " for every item, at most 255 characters, in what Windows-1252 can hold.
class BracketedList final
{
public:
    static constexpr qsizetype maxLength = 255;

    void append(const QString &item);
    bool isFull() const { return text_.size() >= maxLength; }
    const QString &text() const { return text_; }

private:
    QString text_;
};

// `SepararLista`: the items of a bracketed list such as "[F] [D] ". Text outside brackets is
// ignored, a "[" inside an item does not restart it, and an item cut off before its "]" is dropped.
QStringList SepararLista(const QString &text);

} // namespace brisfold
