#pragma once

#include "WarningCapture.h"

// Collects the warnings logged while it lives, so tests can check what the
// code under test reported; they go nowhere else. The hosts' own capture.
class MessageCapture : public VelmoraHost::WarningCapture
{
public:
    MessageCapture()
        : WarningCapture(Swallow)
    {
    }

    // True when some message contains the text.
    bool contains(const QString& text) const { return !messages().filter(text).isEmpty(); }
};
