#!/usr/bin/env python3
"""Writes the release's bill of materials as an SPDX 2.3 JSON document.

Names every file each archive holds with its SHA-1 and SHA-256, the archive itself, the sources
(commit, or "unknown" outside a git checkout, and SOURCE_DATE_EPOCH) with the licence they are
published under, and for each architecture
the compiler and binutils that built the programs and the libraries linked into them
statically: libstdc++ and libgcc (shipped with the compiler), the MinGW-w64 C runtime and
winpthreads. Versions come from the Debian packages that provide them. The document depends only
on its inputs, so that the release stays reproducible.

usage: release-bill.py --version V --commit C --epoch S --out FILE ARCHIVE...
"""
import argparse
import datetime
import hashlib
import json
import re
import subprocess
import sys
import zipfile

PRODUCT = 'VESK Cleaning Wizard'
SUPPLIER = 'Organization: TOLM'
# The sources' licence, as LICENSE states it. The programs also hold the statically linked
# libraries named below under their own terms, so no licence is concluded for them.
LICENSE = 'MIT'
TRIPLES = {'win32': 'i686-w64-mingw32', 'win64': 'x86_64-w64-mingw32'}
DEBIAN_ARCH = {'win32': 'i686', 'win64': 'x86-64'}


def debian_version(package):
    result = subprocess.run(['dpkg-query', '-W', '-f', '${Version}', package],
                            capture_output=True, text=True, check=False)
    if result.returncode != 0 or not result.stdout:
        sys.exit(f'release-bill: package {package} is not installed')
    return result.stdout


def compiler_banner(triple):
    result = subprocess.run([f'{triple}-g++-posix', '--version'], capture_output=True,
                            text=True, check=True)
    return result.stdout.splitlines()[0]


def spdx_id(*parts):
    return 'SPDXRef-' + '-'.join(re.sub(r'[^A-Za-z0-9.]', '-', part) for part in parts)


def checksums(data):
    return [{'algorithm': 'SHA1', 'checksumValue': hashlib.sha1(data).hexdigest()},
            {'algorithm': 'SHA256', 'checksumValue': hashlib.sha256(data).hexdigest()}]


def toolchain(arch):
    """The packages that built and were linked into one architecture's programs."""
    deb = DEBIAN_ARCH[arch]
    gcc_package = f'g++-mingw-w64-{deb}-posix'
    gcc = debian_version(gcc_package)
    runtime = debian_version(f'mingw-w64-{deb}-dev')
    binutils_package = f'binutils-mingw-w64-{deb}'
    return {
        'compiler': ('GCC (MinGW-w64 cross compiler, posix threads)', gcc, gcc_package,
                     compiler_banner(TRIPLES[arch])),
        'binutils': ('GNU binutils for MinGW-w64', debian_version(binutils_package),
                     binutils_package, 'assembler, linker and strip'),
        'linked': [
            ('libstdc++', gcc, gcc_package, 'the C++ standard library, linked statically'),
            ('libgcc', gcc, gcc_package, 'the compiler runtime, linked statically'),
            ('MinGW-w64 CRT', runtime, f'mingw-w64-{deb}-dev',
             'the C runtime start-up and import libraries, linked statically'),
            ('winpthreads', runtime, f'mingw-w64-{deb}-dev',
             'the threads library of std::thread and std::mutex, linked statically'),
        ],
    }


def package(ident, name, version, comment, declared='NOASSERTION', concluded='NOASSERTION',
            **more):
    entry = {'SPDXID': ident, 'name': name, 'versionInfo': version,
             'downloadLocation': 'NOASSERTION', 'filesAnalyzed': False,
             'licenseConcluded': concluded, 'licenseDeclared': declared,
             'copyrightText': 'NOASSERTION', 'comment': comment}
    entry.update(more)
    return entry


def relation(element, kind, related):
    return {'spdxElementId': element, 'relationshipType': kind, 'relatedSpdxElement': related}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--version', required=True)
    parser.add_argument('--commit', required=True)
    parser.add_argument('--epoch', required=True, type=int)
    parser.add_argument('--out', required=True)
    parser.add_argument('archives', nargs='+')
    args = parser.parse_args()

    created = datetime.datetime.fromtimestamp(args.epoch, datetime.timezone.utc)
    source_id = 'SPDXRef-Sources'
    packages = [package(source_id, f'{PRODUCT} sources', args.commit,
                        f'git commit {args.commit}; SOURCE_DATE_EPOCH={args.epoch}',
                        declared=LICENSE, concluded=LICENSE, supplier=SUPPLIER)]
    files = []
    relationships = []
    for path in args.archives:
        archive_name = path.rsplit('/', 1)[-1]
        match = re.search(r'-(win32|win64)\.zip$', archive_name)
        if not match:
            sys.exit(f'release-bill: not a release archive: {archive_name}')
        arch = match.group(1)
        with open(path, 'rb') as stream:
            archive_bytes = stream.read()
        archive_id = spdx_id('Archive', arch)
        packages.append(package(archive_id, archive_name, args.version,
                                f'{PRODUCT} {args.version} for {arch}', declared=LICENSE,
                                supplier=SUPPLIER,
                                packageFileName=archive_name,
                                checksums=checksums(archive_bytes)[1:]))
        relationships.append(relation('SPDXRef-DOCUMENT', 'DESCRIBES', archive_id))
        tools = toolchain(arch)
        tool_ids = {}
        for role in ('compiler', 'binutils'):
            name, version, debian, comment = tools[role]
            tool_ids[role] = spdx_id('Tool', arch, name)
            packages.append(package(tool_ids[role], name, version,
                                    f'Debian package {debian}: {comment}'))
        linked_ids = []
        for name, version, debian, comment in tools['linked']:
            linked_ids.append(spdx_id('Linked', arch, name))
            packages.append(package(linked_ids[-1], name, version,
                                    f'Debian package {debian}: {comment}'))
        with zipfile.ZipFile(path) as archive:
            for entry in archive.infolist():
                file_id = spdx_id('File', arch, entry.filename)
                program = entry.filename.endswith('.exe')
                kind = 'BINARY' if program else \
                    'IMAGE' if entry.filename.endswith('.png') else 'TEXT'
                files.append({'SPDXID': file_id, 'fileName': './' + entry.filename,
                              'fileTypes': [kind],
                              'checksums': checksums(archive.read(entry)),
                              'licenseConcluded': 'NOASSERTION' if program else LICENSE,
                              'copyrightText': 'NOASSERTION'})
                relationships.append(relation(archive_id, 'CONTAINS', file_id))
                if program:
                    relationships.append(relation(file_id, 'GENERATED_FROM', source_id))
                    for tool_id in tool_ids.values():
                        relationships.append(relation(tool_id, 'BUILD_TOOL_OF', file_id))
                    for linked_id in linked_ids:
                        relationships.append(relation(file_id, 'STATIC_LINK', linked_id))

    name = f'VeskCleaningWizard-{args.version}'
    document = {
        'spdxVersion': 'SPDX-2.3',
        'dataLicense': 'CC0-1.0',
        'SPDXID': 'SPDXRef-DOCUMENT',
        'name': name,
        # Unique for each release's sources and time, as SPDX asks, yet the same for every build
        # of them.
        'documentNamespace': f'https://spdx.invalid/{name}-{args.commit}-{args.epoch}',
        'creationInfo': {'created': created.strftime('%Y-%m-%dT%H:%M:%SZ'),
                         'creators': ['Tool: scripts/release', SUPPLIER]},
        'packages': packages,
        'files': files,
        'relationships': relationships,
    }
    with open(args.out, 'w', encoding='utf-8', newline='\n') as stream:
        json.dump(document, stream, indent=1, ensure_ascii=False)
        stream.write('\n')


if __name__ == '__main__':
    main()
