#!/usr/bin/env python3
"""Checks a release's bill of materials against its archives.

The document must be SPDX 2.3 JSON with every field SPDX requires, dated SOURCE_DATE_EPOCH; every
entry of every archive must appear as a file with its SHA-1 and SHA-256, contained in its
archive's package, and each program must name the sources, the toolchain and the libraries
linked into it. The sources and each archive declare the licence that the archive's LICENSE
states, and every file but the programs is concluded to be under it. Exits 1 with the first
fault found.

usage: check_bill.py BILL EPOCH COMMIT ARCHIVE...
"""
import datetime
import hashlib
import json
import sys
import zipfile

REQUIRED_PACKAGE_FIELDS = ('SPDXID', 'name', 'downloadLocation')
# The SPDX identifier of each licence a LICENSE file may begin with.
LICENSES = {'MIT License': 'MIT'}
LINKED = {'libstdc++', 'libgcc', 'MinGW-w64 CRT', 'winpthreads'}


def fail(message):
    sys.exit(f'FAIL: {message}')


def check_document(bill, epoch, commit):
    expected = {'spdxVersion': 'SPDX-2.3', 'dataLicense': 'CC0-1.0',
                'SPDXID': 'SPDXRef-DOCUMENT'}
    for field, value in expected.items():
        if bill.get(field) != value:
            fail(f'{field} is {bill.get(field)!r}, not {value!r}')
    if not bill.get('name') or not bill.get('documentNamespace', '').startswith('https://'):
        fail('no name or no namespace URI')
    info = bill.get('creationInfo', {})
    created = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
    if info.get('created') != created.strftime('%Y-%m-%dT%H:%M:%SZ'):
        fail(f'created {info.get("created")}, not SOURCE_DATE_EPOCH {epoch}')
    if not info.get('creators'):
        fail('no creators')
    for package in bill['packages']:
        if any(field not in package for field in REQUIRED_PACKAGE_FIELDS):
            fail(f'a package lacks a required field: {package}')
    sources = [p for p in bill['packages'] if p['SPDXID'] == 'SPDXRef-Sources']
    if len(sources) != 1 or sources[0]['versionInfo'] != commit or \
            f'SOURCE_DATE_EPOCH={epoch}' not in sources[0]['comment']:
        fail(f'the sources are not named as commit {commit} at {epoch}')
    return sources[0]


def shipped_licence(archive):
    """The SPDX identifier of the licence the archive's LICENSE states."""
    first_line = archive.read('LICENSE').decode('utf-8').splitlines()[0].strip()
    if first_line not in LICENSES:
        fail(f'LICENSE states a licence this check does not know: {first_line!r}')
    return LICENSES[first_line]


def check_licence(licence, package, files):
    if package['licenseDeclared'] != licence:
        fail(f'{package["name"]} declares {package["licenseDeclared"]}, the archive\'s LICENSE '
             f'is {licence}')
    for listed in files:
        expected = 'NOASSERTION' if listed['fileName'].endswith('.exe') else licence
        if listed['licenseConcluded'] != expected:
            fail(f'{listed["fileName"]}: licence {listed["licenseConcluded"]}, not {expected}')


def check_archive(bill, path, sources):
    packages = {p['SPDXID']: p for p in bill['packages']}
    files = {f['SPDXID']: f for f in bill['files']}
    relations = {(r['spdxElementId'], r['relationshipType'], r['relatedSpdxElement'])
                 for r in bill['relationships']}
    name = path.rsplit('/', 1)[-1]
    with open(path, 'rb') as stream:
        archive_sum = hashlib.sha256(stream.read()).hexdigest()
    archive_ids = [i for i, p in packages.items() if p.get('packageFileName') == name]
    if len(archive_ids) != 1:
        fail(f'{name} is not one package of the bill')
    archive_id = archive_ids[0]
    if {'algorithm': 'SHA256', 'checksumValue': archive_sum} not in packages[archive_id]['checksums']:
        fail(f'{name}: wrong SHA-256')
    if ('SPDXRef-DOCUMENT', 'DESCRIBES', archive_id) not in relations:
        fail(f'the document does not describe {name}')
    contained = {files[r[2]]['fileName']: files[r[2]] for r in relations
                 if r[0] == archive_id and r[1] == 'CONTAINS'}
    with zipfile.ZipFile(path) as archive:
        entries = archive.namelist()
        if sorted(contained) != sorted('./' + entry for entry in entries):
            fail(f'{name} holds {entries}, the bill names {sorted(contained)}')
        licence = shipped_licence(archive)
        check_licence(licence, sources, [])
        check_licence(licence, packages[archive_id], contained.values())
        for entry in entries:
            data = archive.read(entry)
            listed = contained['./' + entry]
            sums = {c['algorithm']: c['checksumValue'] for c in listed['checksums']}
            if sums != {'SHA1': hashlib.sha1(data).hexdigest(),
                        'SHA256': hashlib.sha256(data).hexdigest()}:
                fail(f'{name}/{entry}: the sums differ from the archive\'s')
            if entry.endswith('.exe'):
                check_program(listed['SPDXID'], packages, relations)


def check_program(file_id, packages, relations):
    linked = {packages[r[2]]['name'] for r in relations
              if r[0] == file_id and r[1] == 'STATIC_LINK'}
    if linked != LINKED:
        fail(f'{file_id} links {sorted(linked)}, expected {sorted(LINKED)}')
    tools = [packages[r[0]] for r in relations if r[2] == file_id and r[1] == 'BUILD_TOOL_OF']
    if not any(t['name'].startswith('GCC') and t['versionInfo'] for t in tools):
        fail(f'{file_id} names no compiler')
    if (file_id, 'GENERATED_FROM', 'SPDXRef-Sources') not in relations:
        fail(f'{file_id} names no sources')


def main():
    bill_path, epoch, commit, *archives = sys.argv[1:]
    with open(bill_path, encoding='utf-8') as stream:
        bill = json.load(stream)
    sources = check_document(bill, int(epoch), commit)
    for path in archives:
        check_archive(bill, path, sources)
    ids = [p['SPDXID'] for p in bill['packages']] + [f['SPDXID'] for f in bill['files']]
    if len(ids) != len(set(ids)):
        fail('an SPDXID is used twice')
    print(f'bill of materials matches {len(archives)} archive(s)')


if __name__ == '__main__':
    main()
