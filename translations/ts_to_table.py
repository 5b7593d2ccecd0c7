#!/usr/bin/env python3
"""Writes the finished translations of a Qt .ts file as a C++ header.

The Windows shell has no Qt translator; it looks its texts up in this table,
so both shells take their English from the one .ts file. Texts are UTF-8,
every byte outside printable ASCII written as a three-digit octal escape.

    ts_to_table.py telvane_en.ts TranslationTableEn.h
"""

import sys
import xml.etree.ElementTree as ET


def literal(text):
    out = []
    for byte in text.encode("utf-8"):
        char = chr(byte)
        if char in '"\\?' or byte < 0x20 or byte > 0x7E:
            out.append("\\%03o" % byte)
        else:
            out.append(char)
    return '"' + "".join(out) + '"'


def main(source, target):
    rows = []
    for context in ET.parse(source).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            # Plural forms need Qt's rules; the Windows shell shows none.
            if message.get("numerus") == "yes":
                continue
            translation = message.find("translation")
            if translation is None or translation.get("type") in ("unfinished", "vanished", "obsolete"):
                continue
            rows.append("    {%s, %s, %s}," % (literal(name), literal(message.findtext("source")),
                                               literal(translation.text or "")))
    with open(target, "w", encoding="ascii", newline="\n") as out:
        out.write(
            "// Generated from telvane_en.ts by ts_to_table.py; do not edit.\n"
            "#pragma once\n\n#include <cstring>\n\nnamespace telvane::english {\n\n"
            "// A translation: the context (a window's class, or MonitorTexts for the\n"
            "// caller monitor's texts), the Japanese source and the English, UTF-8.\n"
            "struct TEntry {\n    const char* Context;\n    const char* Source;\n"
            "    const char* Translation;\n};\n\n"
            "inline constexpr TEntry kEntries[] = {\n" + "\n".join(rows) + "\n};\n\n"
            "// The English of source in context; nullptr where there is none.\n"
            "inline const char* Translate(const char* context, const char* source) {\n"
            "    for (const TEntry& entry : kEntries) {\n"
            "        if (std::strcmp(entry.Context, context) == 0 &&\n"
            "            std::strcmp(entry.Source, source) == 0) {\n"
            "            return entry.Translation;\n        }\n    }\n    return nullptr;\n}\n\n"
            "} // namespace telvane::english\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
