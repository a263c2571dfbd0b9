#!/usr/bin/env python3
"""Checks that a signed program is its unsigned build plus an Authenticode signature.

Signing may change only the header checksum and the certificate table's directory entry, and may
only append: alignment padding of zeros, then the certificate table the entry points at, to the
end of the file. Exits 1 with the first difference found.

usage: check_signed.py UNSIGNED SIGNED
"""
import struct
import sys

CHECKSUM_OFFSET = 64  # within the optional header
DIRECTORIES_OFFSET = {0x10B: 96, 0x20B: 112}  # PE32, PE32+
CERTIFICATE_ENTRY = 4


def masked_fields(image):
    """The (offset, length) of the checksum and of the certificate table's directory entry."""
    (pe_offset,) = struct.unpack_from('<I', image, 0x3C)
    if image[pe_offset:pe_offset + 4] != b'PE\0\0':
        sys.exit('FAIL: not a PE program')
    optional = pe_offset + 24
    (magic,) = struct.unpack_from('<H', image, optional)
    entry = optional + DIRECTORIES_OFFSET[magic] + 8 * CERTIFICATE_ENTRY
    return (optional + CHECKSUM_OFFSET, 4), (entry, 8)


def main():
    unsigned, signed = (open(path, 'rb').read() for path in sys.argv[1:3])
    fields = masked_fields(unsigned)
    if fields != masked_fields(signed):
        sys.exit('FAIL: the headers moved')
    (_, _), (entry, _) = fields
    if struct.unpack_from('<II', unsigned, entry) != (0, 0):
        sys.exit('FAIL: the unsigned build already has a certificate table')
    table, size = struct.unpack_from('<II', signed, entry)
    if table < len(unsigned) or table % 8 or table + size != len(signed) or size == 0:
        sys.exit(f'FAIL: the certificate table ({table}, {size}) is not appended at the end')
    masked = bytearray(signed[:len(unsigned)])
    original = bytearray(unsigned)
    for offset, length in fields:
        masked[offset:offset + length] = original[offset:offset + length] = bytes(length)
    if masked != original:
        first = next(i for i, (a, b) in enumerate(zip(masked, original)) if a != b)
        sys.exit(f'FAIL: the signed program differs from its build at offset {first:#x}')
    if any(signed[len(unsigned):table]):
        sys.exit('FAIL: the padding before the certificate table is not zeros')
    print('signed program = build + signature')


if __name__ == '__main__':
    main()
