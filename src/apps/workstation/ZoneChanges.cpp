#include "ZoneChanges.h"

#include <QHash>
#include <QString>
#include <QTextCodec>
#include <QVector>
#include <QXmlStreamReader>

#include <algorithm>

#include "Velmora/format/ConfigDiff.h"
#include "Velmora/format/TokenDigest.h"

namespace Velmora {

namespace {

// An area element of the zone: where its text is, and the id it is matched by.
struct AreaText
{
    QString id; // empty without one, as the comparison keys it
    int begin;
    int end;
};

// The text of a file in UTF-8, null when it declares another encoding or is
// not valid UTF-8: cut text is compared as UTF-8.
QString utf8Text(const QByteArray& bytes)
{
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 ? text : QString();
}

bool declaresOtherEncoding(const QXmlStreamReader& reader)
{
    const QStringRef encoding = reader.documentEncoding();
    return !encoding.isEmpty() && encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0;
}

// The Area children of the root's Areas. False, leaving nothing to cut, when
// the text is not read to its end without fault or has a document type (its
// entities could give the same text another meaning in the other version).
bool findAreas(const QString& text, QVector<AreaText>* areas)
{
    QXmlStreamReader reader(text);
    int depth = 0;
    bool inAreas = false;
    AreaText open{QString(), -1, -1};
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            if (declaresOtherEncoding(reader))
                return false;
            break;
        case QXmlStreamReader::DTD:
            return false;
        case QXmlStreamReader::StartElement:
            if (++depth > MaxNestingDepth)
                return false;
            if (depth == 2)
                inAreas = reader.qualifiedName() == QLatin1String("Areas");
            if (depth == 3 && inAreas && reader.qualifiedName() == QLatin1String("Area")) {
                const int tagEnd = int(reader.characterOffset());
                open = AreaText{reader.attributes().value(QLatin1String("id")).toString(),
                                text.lastIndexOf(QLatin1Char('<'), tagEnd - 1), -1};
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 3 && open.begin >= 0) {
                open.end = int(reader.characterOffset());
                areas->append(open);
                open.begin = -1;
            }
            --depth;
            break;
        default:
            break;
        }
    }
    return !reader.hasError();
}

QHash<QString, int> idCounts(const QVector<AreaText>& areas)
{
    QHash<QString, int> counts;
    for (const AreaText& area : areas)
        ++counts[area.id];
    return counts;
}

QStringRef textOf(const QString& text, const AreaText& area)
{
    return text.midRef(area.begin, area.end - area.begin);
}

// The text without the given areas, in UTF-8.
QByteArray without(const QString& text, const QVector<AreaText>& cut)
{
    QString kept;
    kept.reserve(text.size());
    int from = 0;
    for (const AreaText& area : cut) {
        kept += text.midRef(from, area.begin - from);
        from = area.end;
    }
    kept += text.midRef(from);
    return kept.toUtf8();
}

// Cuts the areas that are alike in both texts; false where the texts are not
// read alike enough to know.
bool cutUnchangedAreas(const QByteArray& before, const QByteArray& after, QByteArray* cutBefore, QByteArray* cutAfter)
{
    const QString old = utf8Text(before);
    const QString now = utf8Text(after);
    QVector<AreaText> oldAreas;
    QVector<AreaText> newAreas;
    if (old.isNull() || now.isNull() || !findAreas(old, &oldAreas) || !findAreas(now, &newAreas))
        return false;
    // An id twice in a file leaves the comparison to choose which one counts.
    const QHash<QString, int> oldCounts = idCounts(oldAreas);
    const QHash<QString, int> newCounts = idCounts(newAreas);
    QHash<QString, AreaText> unique;
    for (const AreaText& area : qAsConst(oldAreas)) {
        if (oldCounts.value(area.id) == 1 && newCounts.value(area.id) == 1)
            unique.insert(area.id, area);
    }
    QVector<AreaText> oldCut;
    QVector<AreaText> newCut;
    for (const AreaText& area : qAsConst(newAreas)) {
        const auto match = unique.constFind(area.id);
        if (match != unique.constEnd() && textOf(old, *match) == textOf(now, area)) {
            oldCut.append(*match);
            newCut.append(area);
        }
    }
    std::sort(oldCut.begin(), oldCut.end(), [](const AreaText& a, const AreaText& b) { return a.begin < b.begin; });
    *cutBefore = without(old, oldCut);
    *cutAfter = without(now, newCut);
    return true;
}

} // namespace

bool ZoneChanges::compare(const QByteArray& before, const QByteArray& after, QStringList* changes, QString* error)
{
    QByteArray cutBefore;
    QByteArray cutAfter;
    if (!cutUnchangedAreas(before, after, &cutBefore, &cutAfter))
        return ConfigDiff::compareTexts(before, after, changes, error);
    return ConfigDiff::compareTexts(cutBefore, cutAfter, changes, error);
}

} // namespace Velmora
