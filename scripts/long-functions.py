#!/usr/bin/env python3
"""Lists the C++ function bodies longer than N lines under the given folders.

A body's length runs from the line of its opening brace to the line of its
closing brace, both counted. Functions are found by matching braces after
blanking comments, string and character literals and preprocessor lines: a
brace at namespace or class level opens a function body when the text before
it ends in a parameter list (with qualifiers, a trailing return type or a
constructor's initialiser list after it). Lambdas and blocks inside a body
count towards that body. No full parser: macros that hide braces or
parentheses can fool it.

    long-functions.py [--lines N] FOLDER_OR_FILE...

Prints "path:line: name (length lines)", longest first, and exits with 1 when
it printed any, so that it can gate a check.
"""

import argparse
import os
import re
import sys

SUFFIXES = (".cpp", ".cc", ".cxx", ".c", ".h", ".hpp", ".hh", ".hxx", ".inc")


def blank(text, start, end):
    """Spaces for text[start:end], its line ends kept so that lines still count."""
    return re.sub(r"[^\n]", " ", text[start:end])


def strip_code(text):
    """The text with comments, literals and preprocessor lines blanked."""
    out = []
    i = 0
    n = len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c in " \t":
            out.append(c)
            i += 1
            continue
        if line_start and c == "#":
            end = i
            while end < n and text[end] != "\n":
                # A backslash before the line end continues the directive.
                if text[end] == "\\" and end + 1 < n and text[end + 1] == "\n":
                    end += 2
                    continue
                if text.startswith("/*", end):
                    close = text.find("*/", end + 2)
                    end = n if close < 0 else close + 2
                    continue
                end += 1
            out.append(blank(text, i, end))
            i = end
            continue
        line_start = c == "\n"
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(blank(text, i, end))
            i = end
            continue
        if text.startswith("/*", i):
            close = text.find("*/", i + 2)
            end = n if close < 0 else close + 2
            out.append(blank(text, i, end))
            i = end
            continue
        raw = re.match(r'(?:u8|u|U|L)?R"([^()\\\s]{0,16})\(', text[i : i + 24])
        if raw and not is_identifier_tail(text, i):
            close = text.find(")" + raw.group(1) + '"', i + raw.end())
            end = n if close < 0 else close + len(raw.group(1)) + 2
            out.append(blank(text, i, end))
            i = end
            continue
        if c == '"' or (c == "'" and not is_digit_separator(text, i)):
            end = i + 1
            while end < n and text[end] != c and text[end] != "\n":
                end += 2 if text[end] == "\\" else 1
            end = min(end + 1, n)
            out.append(blank(text, i, end))
            i = end
            continue
        out.append(c)
        i += 1
    return "".join(out)


def identifier_before(text, i):
    start = i
    while start > 0 and (text[start - 1].isalnum() or text[start - 1] == "_"):
        start -= 1
    return text[start:i]


def is_identifier_tail(text, i):
    return i > 0 and (text[i - 1].isalnum() or text[i - 1] == "_")


def is_digit_separator(text, i):
    """A quote inside a number, as in 1'000'000, opens no character literal."""
    word = identifier_before(text, i)
    return word != "" and word[0].isdigit()


SCOPE_KEYWORDS = re.compile(r"^(?:template\s*<.*>\s*)?(?:namespace|class|struct|union|enum|extern)\b")
ACCESS_LABEL = re.compile(r"^(?:public|protected|private|signals|slots|Q_SLOTS|Q_SIGNALS)\s*(?:slots\s*)?:(?!:)")
QUALIFIERS = re.compile(
    r"^(?:\s*(?:(?:const|volatile|mutable|override|final)\b"
    r"|noexcept\b(?:\s*\([^()]*\))?|throw\s*\(\s*\)|&&|&))*\s*"
)


def paren_groups(header):
    """(open, close) of each parenthesised group at the header's top level."""
    groups = []
    depth = 0
    for j, c in enumerate(header):
        if c == "(":
            if depth == 0:
                opened = j
            depth += 1
        elif c == ")" and depth > 0:
            depth -= 1
            if depth == 0:
                groups.append((opened, j))
    return groups


def without_labels(header):
    header = " ".join(header.split())
    label = ACCESS_LABEL.match(header)
    while label:
        header = header[label.end() :].lstrip()
        label = ACCESS_LABEL.match(header)
    return header


def opens_scope(header):
    """A namespace, class, struct, union or extern block, whose braces hold declarations."""
    return (
        SCOPE_KEYWORDS.match(header) is not None
        and not header.startswith("enum")
        and not header.endswith("=")
    )


def function_name(header):
    """The name of the function a header declares, or None when it declares none.

    The parameter list is the first top-level group followed by nothing but
    qualifiers, a trailing return type or an initialiser list; groups before
    it belong to macros such as Q_PROPERTY(...) or to operator().
    """
    for opened, closed in paren_groups(header):
        rest = header[closed + 1 :]
        rest = rest[QUALIFIERS.match(rest).end() :]
        # In an initialiser list, a brace after a member's name is its
        # initialiser; the body's brace follows a ")" or a "}".
        in_list = re.match(r":(?!:)", rest) and header.rstrip()[-1:] in (")", "}")
        if rest == "" or rest.startswith("->") or in_list:
            words = header[:opened].split()
            return words[-1] if words else None
    return None


def function_bodies(text):
    """(name, first line, last line) of every function body in a source text."""
    code = strip_code(text)
    bodies = []
    # One entry per open brace: its kind, the function's name, its line.
    # "scope" holds declarations (a namespace, a class), "body" is a
    # function's, and "other" is anything else: an initialiser, an enum, or a
    # block or lambda inside a body.
    stack = []
    header_start = 0
    line = 1
    for i, c in enumerate(code):
        at_scope_level = not stack or stack[-1][0] == "scope"
        if c == "\n":
            line += 1
        elif c == ";" and at_scope_level:
            header_start = i + 1
        elif c == "{" and not at_scope_level:
            stack.append(("other", None, line))
        elif c == "{":
            header = without_labels(code[header_start:i])
            if opens_scope(header):
                stack.append(("scope", None, line))
                header_start = i + 1
                continue
            name = function_name(header)
            # Without a name, an initialiser or a member's braced initialiser
            # in a constructor's list: the header goes on past it.
            stack.append(("other" if name is None else "body", name, line))
        elif c == "}" and stack:
            kind, name, first = stack.pop()
            if kind == "body":
                bodies.append((name, first, line))
            if kind != "other":
                header_start = i + 1
    return bodies


def source_files(paths):
    for path in paths:
        if os.path.isfile(path):
            yield path
            continue
        for folder, subfolders, files in os.walk(path):
            subfolders[:] = sorted(d for d in subfolders if not d.startswith("."))
            for name in sorted(files):
                if name.endswith(SUFFIXES):
                    yield os.path.join(folder, name)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lines", type=int, default=60, help="longest body allowed (default 60)")
    parser.add_argument("paths", nargs="+", help="folders or files to scan")
    arguments = parser.parse_args()
    found = []
    for path in arguments.paths:
        if not os.path.exists(path):
            print("%s: no such file or folder" % path, file=sys.stderr)
            return 2
    for path in source_files(arguments.paths):
        with open(path, encoding="utf-8", errors="replace") as source:
            text = source.read()
        for name, first, last in function_bodies(text):
            length = last - first + 1
            if length > arguments.lines:
                found.append((length, path, first, name))
    found.sort(key=lambda item: (-item[0], item[1], item[2]))
    for length, path, first, name in found:
        print("%s:%d: %s (%d lines)" % (path, first, name, length))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
