#include "Arguments.h"

namespace Arguments {

QList<QByteArray> joinOptionValues(const QList<QByteArray>& arguments, const QList<QByteArray>& valueOptions,
                                   QByteArray* missingValue)
{
    missingValue->clear();
    QList<QByteArray> result;
    result.reserve(arguments.size());
    for (int i = 0; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments.at(i);
        if (i > 0 && argument == "--") {
            result.append(arguments.mid(i));
            break;
        }
        const bool takesValue = i > 0 && argument.startsWith("--") && valueOptions.contains(argument.mid(2));
        if (!takesValue) {
            result.append(argument);
            continue;
        }
        if (i + 1 == arguments.size()) {
            *missingValue = argument.mid(2);
            result.append(argument);
            break;
        }
        // The value is taken whatever it looks like, as the parser would.
        result.append(argument + '=' + arguments.at(++i));
    }
    return result;
}

} // namespace Arguments
