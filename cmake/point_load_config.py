#!/usr/bin/env python3
"""Points a MinGW-w64 program's load-configuration directory at its _load_config_used.

GNU ld of binutils 2.40 links the structure (app/load_config.cpp) into the image but leaves
the header's load-configuration entry empty, so Windows would never read it. This sets that
entry to the structure's address and size, then renews the header's checksum. Running it again
on the same program changes nothing.

usage: point_load_config.py PROGRAM NM
"""
import array
import struct
import subprocess
import sys

LOAD_CONFIG_ENTRY = 10
# i686 names C symbols with a leading underscore.
SYMBOLS = ('_load_config_used', '__load_config_used')


def symbol_address(program, nm):
    listing = subprocess.run([nm, program], check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[2] in SYMBOLS:
            return int(fields[0], 16)
    sys.exit(f'point_load_config: {program} has no _load_config_used (unstripped program needed)')


def file_offset(image, section_table, section_count, rva):
    for index in range(section_count):
        virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from(
            '<IIII', image, section_table + 40 * index + 8)
        if virtual_address <= rva < virtual_address + min(virtual_size, raw_size):
            return raw_pointer + rva - virtual_address
    sys.exit(f'point_load_config: RVA {rva:#x} lies in no section with file contents')


def checksum(image, checksum_offset):
    """The optional header's CheckSum: a ones'-complement sum of 16-bit words plus the length."""
    words = array.array('H', bytes(image) + b'\0' * (len(image) % 2))
    if sys.byteorder != 'little':
        words.byteswap()
    first = checksum_offset // 2
    total = sum(words) - words[first] - words[first + 1]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def main():
    program, nm = sys.argv[1:3]
    with open(program, 'rb') as file:
        image = bytearray(file.read())
    header = struct.unpack_from('<I', image, 0x3C)[0]
    if image[header:header + 4] != b'PE\0\0':
        sys.exit(f'point_load_config: {program} is not a PE image')
    section_count, optional_size = struct.unpack_from('<H12xH', image, header + 6)
    optional = header + 24
    pe32_plus = struct.unpack_from('<H', image, optional)[0] == 0x20B
    image_base = struct.unpack_from('<Q' if pe32_plus else '<I', image,
                                    optional + (24 if pe32_plus else 28))[0]
    directories = optional + (112 if pe32_plus else 96)
    rva = symbol_address(program, nm) - image_base
    size = struct.unpack_from('<I', image,
                              file_offset(image, optional + optional_size, section_count, rva))[0]
    struct.pack_into('<II', image, directories + 8 * LOAD_CONFIG_ENTRY, rva, size)
    checksum_offset = optional + 64
    struct.pack_into('<I', image, checksum_offset, checksum(image, checksum_offset))
    with open(program, 'wb') as file:
        file.write(image)


if __name__ == '__main__':
    main()
