#include "Arguments.h"

namespace VelmoraHost {

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

QList<QByteArray> valueOptionNames(const QList<QCommandLineOption>& options)
{
    QList<QByteArray> names;
    for (const QCommandLineOption& option : options) {
        if (option.valueName().isEmpty())
            continue;
        for (const QString& name : option.names())
            names.append(name.toLocal8Bit());
    }
    return names;
}

QCommandLineOption pluginOption()
{
    return QCommandLineOption(QStringLiteral("plugin"),
                              QStringLiteral("The module to load (default: ../plugins/libVelmora.so next to the program)."),
                              QStringLiteral("path"));
}

void useOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace Arguments

ApplicationArguments::ApplicationArguments(int argc, char* argv[], const QList<QCommandLineOption>& options)
{
    QList<QByteArray> given;
    for (int i = 0; i < argc; ++i)
        given.append(QByteArray(argv[i]));
    m_arguments = Arguments::joinOptionValues(given, Arguments::valueOptionNames(options), &m_missingValue);
    // The list is not touched again, so the pointers into it stay valid.
    for (QByteArray& argument : m_arguments)
        m_pointers.push_back(argument.data());
    m_pointers.push_back(nullptr);
    m_argc = int(m_pointers.size()) - 1;
}

QByteArray ApplicationArguments::missingValue() const
{
    return m_missingValue;
}

int& ApplicationArguments::argc()
{
    return m_argc;
}

char** ApplicationArguments::argv()
{
    return m_pointers.data();
}

} // namespace VelmoraHost
