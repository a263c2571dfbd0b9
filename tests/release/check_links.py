#!/usr/bin/env python3
"""Checks that every link of every Markdown file in a release archive works from the archive.

A relative link (inline, image or reference) must name an entry of the archive, relative to the
linking file; a link with a #fragment must name a heading of its Markdown file, by the anchor a
Markdown viewer gives it. Links to the web are left alone, and so is code: a fenced block or an
inline code span holds no link. Exits 1 with every broken link.

usage: check_links.py ARCHIVE
"""
import posixpath
import re
import sys
import zipfile

FENCE = re.compile(r'^ {0,3}(```|~~~).*?^ {0,3}\1', re.M | re.S)
CODE_SPAN = re.compile(r'(`+).+?\1', re.S)
# [text](target "title") and ![alt](target); the text may run over lines.
INLINE = re.compile(r'!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+"[^"]*")?\s*\)')
REFERENCE = re.compile(r'^ {0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s+"[^"]*")?\s*$', re.M)
HEADING = re.compile(r'^ {0,3}#{1,6}\s+(.+?)\s*#*\s*$', re.M)
WEB = re.compile(r'^[a-z][a-z0-9+.-]*:', re.I)


def without_code(text):
    return CODE_SPAN.sub('', FENCE.sub('', text))


def anchor(heading):
    """The anchor a viewer gives a heading: lower case, punctuation dropped, blanks as hyphens."""
    words = re.sub(r'[^\w\- ]', '', heading.replace('`', '').lower())
    return words.replace(' ', '-')


def links(text):
    plain = without_code(text)
    return INLINE.findall(plain) + REFERENCE.findall(plain)


def anchors(text):
    return {anchor(heading) for heading in HEADING.findall(FENCE.sub('', text))}


def broken_links(archive):
    entries = set(archive.namelist())
    documents = {name: archive.read(name).decode('utf-8') for name in entries
                 if name.endswith('.md')}
    broken = []
    for name, text in sorted(documents.items()):
        for link in links(text):
            if WEB.match(link):
                continue
            path, _, fragment = link.partition('#')
            target = posixpath.normpath(posixpath.join(posixpath.dirname(name), path)) \
                if path else name
            if target not in entries:
                broken.append(f'{name}: {link}: {target} is not in the archive')
            elif fragment and (target not in documents or
                               fragment not in anchors(documents[target])):
                broken.append(f'{name}: {link}: {target} has no heading #{fragment}')
    return broken


def main():
    with zipfile.ZipFile(sys.argv[1]) as archive:
        if 'README.md' not in archive.namelist():
            sys.exit('FAIL: no README.md in the archive')
        broken = broken_links(archive)
        followed = sum(len(links(archive.read(name).decode('utf-8')))
                       for name in archive.namelist() if name.endswith('.md'))
    if broken:
        sys.exit('FAIL: links that do not work from the archive:\n  ' + '\n  '.join(broken))
    if followed == 0:
        sys.exit('FAIL: no link found at all: the check would pass anything')
    print(f'{followed} links work from the archive')


if __name__ == '__main__':
    main()
