#!/usr/bin/env python3
"""Fails when a relative link in the documentation names no file or folder of the repository,
or no heading of the document it names.

usage: check_doc_links.py ROOT         checks ROOT/README.md and ROOT/docs/*.md, and the
                                       sections the tools and their tests name
       check_doc_links.py --self-test  checks the checker on documents made for it

A link is a Markdown inline link or image, [text](target), or a reference definition,
[label]: target. Links with a scheme (https:, mailto:) are not checked. An anchor, #name, of the
same document or of a linked .md file must be the anchor of one of its headings as the hosting
site makes them: lower case, punctuation but hyphens dropped, spaces as hyphens. The query of a
link is dropped. Text inside code spans and fenced code blocks is not Markdown, so it holds no
links and no headings.

The host tools point their users to sections of the documents, as docs/NAME.md#anchor in their
messages and manual pages; the tests pin each message whole. Each such mention in tools/ and
tests/ must name a heading too.
"""
import os
import re
import sys
import tempfile

FENCE = re.compile(r"^ {0,3}(`{3,}|~{3,})")
CODE_SPAN = re.compile(r"(`+).*?\1")
INLINE = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]*)>?(?:\s+[\"'(][^)]*)?\)")
DEFINITION = re.compile(r"^ {0,3}\[[^\]]+\]:\s*<?(\S*?)>?(?:\s.*)?$")
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")
HEADING = re.compile(r"^ {0,3}#{1,6}\s+(.*?)\s*#*\s*$")


def outside_code(text):
    """Yields (line number, line) for each line outside fenced code blocks."""
    fence = None
    for number, line in enumerate(text.splitlines(), 1):
        opening = FENCE.match(line)
        if fence:
            if opening and opening.group(1)[0] == fence[0] and len(opening.group(1)) >= len(fence):
                fence = None
            continue
        if opening:
            fence = opening.group(1)
            continue
        yield number, line


def anchors(text):
    """The anchors of a document's headings."""
    found = set()
    for _, line in outside_code(text):
        heading = HEADING.match(line)
        if heading:
            name = re.sub(r"[^\w\- ]", "", heading.group(1).strip().lower())
            found.add(name.replace(" ", "-"))
    return found


def links(text):
    """Yields (line number, target) for each link outside code."""
    for number, line in outside_code(text):
        line = CODE_SPAN.sub("", line)
        definition = DEFINITION.match(line)
        if definition:
            yield number, definition.group(1)
            continue
        for match in INLINE.finditer(line):
            yield number, match.group(1)


def problems(root, names):
    """The broken links of the named documents, as "name:line: target: why" lines."""
    root = os.path.realpath(root)
    found = []
    for name in names:
        with open(os.path.join(root, name), encoding="utf-8") as document:
            text = document.read()
        folder = os.path.dirname(os.path.join(root, name))
        for number, target in links(text):
            path = re.split(r"[#?]", target, maxsplit=1)[0]
            anchor = target.split("#", 1)[1] if "#" in target else ""
            if SCHEME.match(target):
                continue
            resolved = os.path.realpath(os.path.join(folder, path or os.path.basename(name)))
            if path.startswith("/"):
                why = "not a relative link"
            elif os.path.commonpath([root, resolved]) != root:
                why = "outside the repository"
            elif not os.path.exists(resolved):
                why = "no such file or folder"
            elif anchor and resolved.endswith(".md") and os.path.isfile(resolved):
                with open(resolved, encoding="utf-8") as linked:
                    if anchor in anchors(linked.read()):
                        continue
                why = "no such heading"
            else:
                continue
            found.append(f"{name}:{number}: {target}: {why}")
    return found


MENTION = re.compile(r"\b(docs/[A-Za-z0-9_.-]+\.md)#([A-Za-z0-9_-]+)")


def mention_problems(root):
    """The sections that the sources of tools/ and tests/ name and no document has."""
    found = []
    for folder in ("tools", "tests"):
        for path, _, names in sorted(os.walk(os.path.join(root, folder))):
            for name in sorted(names):
                if not name.endswith((".cpp", ".h", ".1")):
                    continue
                source = os.path.join(path, name)
                shown = os.path.relpath(source, root)
                with open(source, encoding="utf-8", errors="replace") as text:
                    lines = text.read().splitlines()
                for number, line in enumerate(lines, 1):
                    for document, anchor in MENTION.findall(line):
                        target = os.path.join(root, document)
                        if not os.path.isfile(target):
                            why = "no such file"
                        else:
                            with open(target, encoding="utf-8") as linked:
                                if anchor in anchors(linked.read()):
                                    continue
                            why = "no such heading"
                        found.append(f"{shown}:{number}: {document}#{anchor}: {why}")
    return found


def documents(root):
    docs = os.path.join(root, "docs")
    names = ["README.md"]
    if os.path.isdir(docs):
        names += sorted("docs/" + n for n in os.listdir(docs) if n.endswith(".md"))
    return names


def self_test():
    """Each case: a document's text, and the problems it must give."""
    cases = [
        ("[a](docs/b.md) [c](docs/) [d](docs/b.md#part) ![e](docs/b.md?x) <https://x.org/y>", []),
        ("# The `x.y` anchor's (2) 3\n[a](https://example.org/none) [b](mailto:a@b.c) "
         "[c](#the-xy-anchors-2-3)", []),
        ("[a](#none)\n```sh\n# none\n```\n[b](docs/b.md#2-part-)",
         ["README.md:1: #none: no such heading", "README.md:5: docs/b.md#2-part-: no such heading"]),
        ("[a](docs/nothing.md)", ["README.md:1: docs/nothing.md: no such file or folder"]),
        ("x\n[a](<docs/b.md> \"title\") [b](none.md 'title')",
         ["README.md:2: none.md: no such file or folder"]),
        ("[ref]: docs/missing.md\n[ok]: docs/b.md \"title\"",
         ["README.md:1: docs/missing.md: no such file or folder"]),
        ("`[a](none.md)` and\n```sh\n[b](none.md)\n```\n[c](none.md)",
         ["README.md:5: none.md: no such file or folder"]),
        ("[a](../outside.md) [b](/etc/hostname)",
         ["README.md:1: ../outside.md: outside the repository",
          "README.md:1: /etc/hostname: not a relative link"]),
    ]
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        root = os.path.join(work, "repository")
        os.makedirs(os.path.join(root, "docs"))
        with open(os.path.join(root, "docs", "b.md"), "w", encoding="utf-8") as page:
            page.write("## Part\n    # not a heading\n")
        open(os.path.join(work, "outside.md"), "w").close()
        for text, expected in cases:
            with open(os.path.join(root, "README.md"), "w", encoding="utf-8") as readme:
                readme.write(text + "\n")
            got = problems(root, ["README.md"])
            if got != expected:
                print(f"for {text!r}\n  expected {expected}\n  got      {got}")
                failures += 1
        # A link of a page in docs/ is relative to that page's folder; every page is checked.
        with open(os.path.join(root, "README.md"), "w", encoding="utf-8") as readme:
            readme.write("[a](docs/c.md)\n")
        with open(os.path.join(root, "docs", "c.md"), "w", encoding="utf-8") as page:
            page.write("[a](b.md) [b](../README.md) [c](docs/b.md)\n")
        got = problems(root, documents(root))
        expected = ["docs/c.md:1: docs/b.md: no such file or folder"]
        if got != expected:
            print(f"for docs/c.md\n  expected {expected}\n  got      {got}")
            failures += 1
        # A tool's message names a section of a document.
        os.makedirs(os.path.join(root, "tools", "t"))
        with open(os.path.join(root, "tools", "t", "t.cpp"), "w", encoding="utf-8") as source:
            source.write('"(docs/b.md#part)"\n"docs/b.md#gone docs/x.md#part docs/b.md#"\n')
        got = mention_problems(root)
        expected = ["tools/t/t.cpp:2: docs/b.md#gone: no such heading",
                    "tools/t/t.cpp:2: docs/x.md#part: no such file"]
        if got != expected:
            print(f"for tools/t/t.cpp\n  expected {expected}\n  got      {got}")
            failures += 1
    return 1 if failures else 0


def main(arguments):
    if arguments == ["--self-test"]:
        return self_test()
    if len(arguments) != 1 or arguments[0].startswith("-"):
        print("usage: check_doc_links.py ROOT | --self-test", file=sys.stderr)
        return 2
    found = problems(arguments[0], documents(arguments[0])) + mention_problems(arguments[0])
    for problem in found:
        print(problem)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
