#pragma once

#include <QLoggingCategory>

// The module's messages by subject, so that an operator can filter them with
// QT_LOGGING_RULES (for example "velmora.link.warning=false").
namespace Velmora {

Q_DECLARE_LOGGING_CATEGORY(lcLoad)   // velmora.load: reading configuration files
Q_DECLARE_LOGGING_CATEGORY(lcLink)   // velmora.link: the zone's link to its service
Q_DECLARE_LOGGING_CATEGORY(lcEdit)   // velmora.edit: editing and writing back

} // namespace Velmora

// A link warning. Its source location travels in the message's context (for
// a handler or QT_MESSAGE_PATTERN's %{file} and %{line}), not in the text:
// the text is what an operator reads in the host's log.
#define VELMORA_WARNING_AT() \
    QMessageLogger(__FILE__, __LINE__, Q_FUNC_INFO).warning(Velmora::lcLink()).noquote()
