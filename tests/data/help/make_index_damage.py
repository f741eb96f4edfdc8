#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the two help files whose directory index is damaged, from the help file the build makes.

  make_index_damage.py QLM.chm OUTPUT-FOLDER

QLM.chm has one directory block, a listing block (PMGL), and no index (the index root is -1). Each
made-up file gets a second directory block, an index block (PMGI) that becomes the index root, and
its data move back by one block; the listing block and the data stay as they were.

- pmgi_points_at_itself.chm: the index sends every name from "/" up to "::" to itself, the names
  from "::" on ("::DataSpace/...", which chmlib looks up while it opens the file) to the listing
  block. chmlib opens the file, and looking up a page ("/#SYSTEM") never ends.
- pmgi_entry_past_block.chm: the index has no free space; its entries send every name to the
  listing block, and the last one begins two bytes before the block's end with a name of 496
  bytes. chmlib reads past the block on every look-up.
"""

import struct
import sys

ITSP_LENGTH = 0x54


def cword(value):
    """A number of the directory: seven bits a byte, the highest first, the top bit on all but the last."""
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def index_entry(name, block):
    return cword(len(name)) + name + cword(block)


def index_block(entries, block_length, free_space):
    block = b"PMGI" + struct.pack("<I", free_space) + entries
    assert len(block) <= block_length
    return block + bytes(block_length - len(block))


def directory_block_length(chm):
    (version,) = struct.unpack_from("<I", chm, 4)
    dir_offset, dir_length, data_offset = struct.unpack_from("<QQQ", chm, 0x48)
    block_length, _, depth, root, head = struct.unpack_from("<Iiiii", chm, dir_offset + 0x10)
    assert version == 3 and (depth, root, head) == (1, -1, 0), "a help file with one listing block"
    assert dir_length == ITSP_LENGTH + block_length and data_offset == dir_offset + dir_length
    return block_length


def with_index(chm, index):
    """`chm` with the block `index` added to its directory as the index root."""
    dir_offset, dir_length, data_offset = struct.unpack_from("<QQQ", chm, 0x48)
    out = bytearray(chm[:data_offset] + index + chm[data_offset:])
    struct.pack_into("<QQ", out, 0x50, dir_length + len(index), data_offset + len(index))
    struct.pack_into("<ii", out, dir_offset + 0x18, 2, 1)  # index depth 2, root block 1
    # The first header section gives the file's size.
    (section_offset,) = struct.unpack_from("<Q", chm, 0x38)
    struct.pack_into("<Q", out, section_offset + 0x10, len(out))
    return bytes(out)


def points_at_itself(chm):
    block_length = directory_block_length(chm)
    entries = index_entry(b"/", 1) + index_entry(b"::", 0)
    return with_index(chm, index_block(entries, block_length, block_length - 8 - len(entries)))


def entry_past_block(chm):
    block_length = directory_block_length(chm)
    last = cword(496)
    fill = block_length - 8 - len(last)
    assert fill % 3 == 0
    entries = index_entry(b"/", 0) * (fill // 3) + last
    return with_index(chm, index_block(entries, block_length, 0))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as source:
        chm = source.read()
    for name, make in (("pmgi_points_at_itself.chm", points_at_itself), ("pmgi_entry_past_block.chm", entry_past_block)):
        with open(f"{sys.argv[2]}/{name}", "wb") as out:
            out.write(make(chm))


if __name__ == "__main__":
    main()
