#include "XmlEscape.h"

#include <QRegularExpression>

namespace Velmora {
namespace Xml {

namespace {

bool needsEscape(QChar c)
{
    switch (c.unicode()) {
    case '<':
    case '&':
    case '"':
    case '>':
    case 0x9:
    case 0xA:
    case 0xD:
        return true;
    default:
        return false;
    }
}

} // namespace

void appendEscaped(QString* out, const QString& text, bool inAttribute)
{
    const int size = text.size();
    const QChar* data = text.constData();
    int i = 0;
    while (i < size && !needsEscape(data[i]))
        ++i;
    out->append(data, i);
    for (; i < size; ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '<':
            *out += QLatin1String("&lt;");
            break;
        case '&':
            *out += QLatin1String("&amp;");
            break;
        case '"':
            *out += inAttribute ? QLatin1String("&quot;") : QLatin1String("\"");
            break;
        case '>':
            // Only where it would close a CDATA marker.
            *out += out->endsWith(QLatin1String("]]")) ? QLatin1String("&gt;") : QLatin1String(">");
            break;
        case 0x9:
            *out += inAttribute ? QLatin1String("&#x9;") : QLatin1String("\t");
            break;
        case 0xA:
            *out += inAttribute ? QLatin1String("&#xa;") : QLatin1String("\n");
            break;
        case 0xD:
            *out += QLatin1String("&#xd;");
            break;
        default:
            *out += c;
        }
    }
}

QString utf8Declaration(const QString& data)
{
    const auto pseudoAttribute = [&data](const char* name) {
        const QRegularExpression pattern(QLatin1String("\\b") + QLatin1String(name)
                                         + QLatin1String("\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)')"));
        const QRegularExpressionMatch match = pattern.match(data);
        return match.captured(1) + match.captured(2);
    };
    const QString version = pseudoAttribute("version");
    const QString standalone = pseudoAttribute("standalone");
    QString result = QStringLiteral("version=\"%1\" encoding=\"UTF-8\"")
                         .arg(version.isEmpty() ? QStringLiteral("1.0") : version);
    if (!standalone.isEmpty())
        result += QStringLiteral(" standalone=\"%1\"").arg(standalone);
    return result;
}

} // namespace Xml
} // namespace Velmora
