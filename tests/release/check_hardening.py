#!/usr/bin/env python3
"""Checks that a shipped program carries its hardening, read from its own PE headers.

ASLR (relocatable, dynamic base, high-entropy on 64-bit), DEP (NX compatible), no section both
writable and executable, a load-configuration directory whose DependentLoadFlags resolve the
program's imports from the system folder only, and comctl32 left out of the imports (it is loaded
on first use, once the program has restricted the search). With --cfg, Control Flow Guard as well
(for compilers that can emit it). Prints what it found; exits 1 when anything is missing.

usage: check_hardening.py PROGRAM [--cfg]
"""
import struct
import sys

MACHINES = {0x14C: 32, 0x8664: 64}
RELOCS_STRIPPED = 0x0001
HIGH_ENTROPY_VA = 0x0020
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
GUARD_CF = 0x4000
MEM_EXECUTE = 0x20000000
MEM_WRITE = 0x80000000
IMPORT_ENTRY = 1
BASE_RELOCATION_ENTRY = 5
LOAD_CONFIG_ENTRY = 10
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
GUARD_CF_INSTRUMENTED = 0x100
# Libraries that load others as soon as they are loaded themselves: imported, they would do so
# before the program's first statement could restrict the search.
LOADED_ON_FIRST_USE = {'comctl32.dll'}
# Offsets in IMAGE_LOAD_CONFIG_DIRECTORY32 / 64.
DEPENDENT_LOAD_FLAGS = {32: 54, 64: 78}
GUARD_FLAGS = {32: 88, 64: 144}
# Windows accepts this directory size on 32-bit programs whatever the structure's own size.
LEGACY_X86_LOAD_CONFIG_SIZE = 64


class Image:
    def __init__(self, data):
        self.data = data
        header = self.u32(0x3C)
        if data[:2] != b'MZ' or data[header:header + 4] != b'PE\0\0':
            raise ValueError('not a PE image')
        machine, self.section_count = struct.unpack_from('<HH', data, header + 4)
        self.bits = MACHINES.get(machine)
        if self.bits is None:
            raise ValueError(f'unknown machine {machine:#x}')
        self.characteristics = self.u16(header + 22)
        optional = header + 24
        self.dll_characteristics = self.u16(optional + 70)
        directories = optional + (112 if self.bits == 64 else 96)
        self.directories = [struct.unpack_from('<II', data, directories + 8 * index)
                            for index in range(self.u32(directories - 4))]
        self.sections = []
        table = optional + self.u16(header + 20)
        for index in range(self.section_count):
            entry = table + 40 * index
            name = data[entry:entry + 8].rstrip(b'\0').decode('ascii', 'replace')
            virtual_size, address, raw_size, raw_pointer = struct.unpack_from('<IIII', data,
                                                                             entry + 8)
            flags = self.u32(entry + 36)
            self.sections.append((name, address, min(virtual_size, raw_size), raw_pointer, flags))

    def u16(self, offset):
        return struct.unpack_from('<H', self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from('<I', self.data, offset)[0]

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imported_libraries(self):
        rva, size = self.directory(IMPORT_ENTRY)
        names = []
        if size == 0:
            return names
        descriptor = self.offset_of(rva)
        while any(self.data[descriptor:descriptor + 20]):
            name = self.offset_of(self.u32(descriptor + 12))
            names.append(self.data[name:self.data.index(b'\0', name)].decode('ascii').lower())
            descriptor += 20
        return names

    def offset_of(self, rva):
        for _, address, size, raw_pointer, _ in self.sections:
            if address <= rva < address + size:
                return raw_pointer + rva - address
        raise ValueError(f'RVA {rva:#x} lies in no section')


def aslr_and_dep(image):
    problems = []
    if image.characteristics & RELOCS_STRIPPED or image.directory(BASE_RELOCATION_ENTRY)[1] == 0:
        problems.append('no base relocations: the program cannot be moved (ASLR)')
    if not image.dll_characteristics & DYNAMIC_BASE:
        problems.append('not marked dynamic base (ASLR)')
    if image.bits == 64 and not image.dll_characteristics & HIGH_ENTROPY_VA:
        problems.append('not marked high-entropy (64-bit ASLR)')
    if not image.dll_characteristics & NX_COMPAT:
        problems.append('not marked NX compatible (DEP)')
    for name, _, _, _, flags in image.sections:
        if flags & MEM_WRITE and flags & MEM_EXECUTE:
            problems.append(f'section {name} is both writable and executable')
    return problems


def load_config(image):
    """The load configuration's bytes, as far as Windows reads them; None when absent."""
    rva, directory_size = image.directory(LOAD_CONFIG_ENTRY)
    if rva == 0 or directory_size == 0:
        return None
    start = image.offset_of(rva)
    size = image.u32(start)
    if directory_size != size and not (image.bits == 32 and
                                       directory_size == LEGACY_X86_LOAD_CONFIG_SIZE):
        raise ValueError(f'load configuration of {size} bytes listed as {directory_size}')
    return image.data[start:start + size]


def library_search(image, config):
    if config is None:
        return ['no load configuration: imports would be searched in the program\'s folder']
    offset = DEPENDENT_LOAD_FLAGS[image.bits]
    if len(config) < offset + 2:
        return [f'load configuration of {len(config)} bytes ends before DependentLoadFlags']
    flags = struct.unpack_from('<H', config, offset)[0]
    if flags != LOAD_LIBRARY_SEARCH_SYSTEM32:
        return [f'DependentLoadFlags {flags:#x}, not the system folder only ({LOAD_LIBRARY_SEARCH_SYSTEM32:#x})']
    return []


def start_up_imports(image):
    return [f'{name} is imported at start, before the program restricts the library search'
            for name in image.imported_libraries() if name in LOADED_ON_FIRST_USE]


def control_flow_guard(image, config):
    problems = []
    if not image.dll_characteristics & GUARD_CF:
        problems.append('not marked for Control Flow Guard')
    offset = GUARD_FLAGS[image.bits]
    if config is None or len(config) < offset + 4:
        problems.append('no Control Flow Guard table in the load configuration')
    elif not struct.unpack_from('<I', config, offset)[0] & GUARD_CF_INSTRUMENTED:
        problems.append('load configuration does not say the code is instrumented for CFG')
    return problems


def main():
    arguments = sys.argv[1:]
    if not arguments or arguments[0].startswith('-') or set(arguments[1:]) - {'--cfg'}:
        sys.exit(__doc__.strip().splitlines()[-1])
    program = arguments[0]
    with open(program, 'rb') as file:
        data = file.read()
    try:
        image = Image(data)
        config = load_config(image)
        problems = aslr_and_dep(image) + library_search(image, config) + start_up_imports(image)
        if '--cfg' in arguments:
            problems += control_flow_guard(image, config)
    except (ValueError, struct.error) as error:
        problems = [f'unreadable: {error}']
    for problem in problems:
        print(f'FAIL: {program}: {problem}')
    if problems:
        sys.exit(1)
    print(f'{program}: {image.bits}-bit, ASLR, DEP, no writable code, imports from the system '
          f'folder only, comctl32 on first use'
          f'{", Control Flow Guard" if "--cfg" in arguments else ""}')


if __name__ == '__main__':
    main()
