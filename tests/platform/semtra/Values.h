#pragma once

#include <QStringList>

#include <algorithm>
#include <QVariantList>

// QVariant's operator== converts between types (uint 2 equals int 2), so the
// tests compare a description that carries the type name.
inline QString describe(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("invalid");
    const QString text = value.userType() == QMetaType::QByteArray
        ? QString::fromLatin1(value.toByteArray().toHex())
        : value.toString();
    return QString::fromLatin1(value.typeName()) + QLatin1Char(':') + text;
}

inline QString describe(const QVariantList& values)
{
    QStringList parts;
    for (const QVariant& value : values)
        parts << describe(value);
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// A copy in an allocation of exactly its size, so that the sanitizer catches
// any read past the end (QByteArray keeps slack behind its data).
struct ExactBytes
{
    explicit ExactBytes(const QByteArray& bytes, int size = -1)
        : size(size < 0 ? bytes.size() : size)
        , data(new unsigned char[this->size])
    {
        std::copy(bytes.constData(), bytes.constData() + this->size, data);
    }
    ~ExactBytes() { delete[] data; }
    ExactBytes(const ExactBytes&) = delete;
    ExactBytes& operator=(const ExactBytes&) = delete;

    int size;
    unsigned char* data;
};

// Type lists as test data columns.
Q_DECLARE_METATYPE(QList<QVariant::Type>)
