#include "fieldpool.h"

#include <utility>

template<typename Ch>
FieldPool<Ch>::~FieldPool()
{
    for (Slot &slot : table) {
        if (slot.handedOut > 0)
            slot.value.data_ptr().d_ptr()->ref_.fetchAndAddRelaxed(int(slot.handedOut));
    }
}

template<typename Ch>
QString FieldPool<Ch>::insert(Slot &slot, size_t hash, View value)
{
    if (2 * (used + 1) > table.size()) {
        if (table.size() >= maxSlots)
            return makeString(value);
        grow();
        return get(value);
    }
    slot.hash = hash;
    slot.value = makeString(value);
    ++used;
    return handOut(slot);
}

template<typename Ch>
void FieldPool<Ch>::grow()
{
    std::vector<Slot> old(2 * table.size());
    old.swap(table);
    const size_t mask = table.size() - 1;
    for (Slot &slot : old) {
        if (slot.value.isNull())
            continue;
        size_t i = slot.hash & mask;
        while (!table[i].value.isNull())
            i = (i + 1) & mask;
        table[i] = std::move(slot);
    }
}

template<>
QString FieldPool<char>::makeString(View text)
{
    if (text.empty())
        return {};
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

template<>
QString FieldPool<char16_t>::makeString(View text)
{
    if (text.empty())
        return {};
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

template<>
void FieldPool<char>::append(QString &to, View text)
{
    to.append(QLatin1String(text.data(), qsizetype(text.size())));
}

template<>
void FieldPool<char16_t>::append(QString &to, View text)
{
    to.append(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

template class FieldPool<char>;
template class FieldPool<char16_t>;
