// Byte strings made drawable. Cairo takes UTF-8 only, and one invalid byte puts its context into
// an error state that silently loses everything drawn after it. Hosts on Linux send UTF-8, but
// the plug-in's own texts are single-byte Mac Roman (the "minus infinity" of the dB display is
// byte 0xB0). So a string that is valid UTF-8 is taken as it is, and any other is read byte by
// byte as Mac Roman.
#pragma once

#include <string>

class TextEncoding {
public:
    static bool isUtf8(const char* text);
    static std::string macRomanToUtf8(const char* text);
    // text itself when it is valid UTF-8, else its Mac Roman reading; empty for null.
    static std::string drawable(const char* text);
};
