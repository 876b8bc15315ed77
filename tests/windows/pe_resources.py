#!/usr/bin/env python3
"""Reads the resources of a Windows program for tests/windows/resources_test.sh.

  pe_resources.py version EXE   its version information: FILEVERSION=a.b.c.d
                                and PRODUCTVERSION=a.b.c.d (the binary
                                versions), then Key=Value for each string
  pe_resources.py icons EXE     one line for each icon group: its name, then
                                WIDTHxHEIGHT/png or /bmp for each picture, as
                                read from the picture itself
  pe_resources.py manifest EXE  what Windows reads of the manifest (resource 1
                                of type RT_MANIFEST), one line each:
                                  executionLevel LEVEL
                                  dependency NAME VERSION TOKEN ARCH TYPE
                                  dpiAware VALUE
                                  dpiAwareness VALUE

Every offset is checked against the file: a file that is no PE program or
whose resources are damaged or missing is refused (exit 1) with a message.
"""
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


class Damaged(Exception):
    pass


def unpack(fmt, data, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise Damaged(f"{size} bytes at {offset} lie outside {len(data)} bytes")
    return struct.unpack_from(fmt, data, offset)


def resources(image):
    """{(type, name): [data of each language]} of a PE file's bytes; a type
    or name is a number or a string."""
    if image[:2] != b"MZ":
        raise Damaged("no MZ header")
    (pe,) = unpack("<I", image, 0x3C)
    if unpack("<4s", image, pe)[0] != b"PE\0\0":
        raise Damaged("no PE header")
    _, sections, _, _, _, optional_size, _ = unpack("<HHIIIHH", image, pe + 4)
    optional = pe + 24
    (magic,) = unpack("<H", image, optional)
    directories = {0x10B: 96, 0x20B: 112}.get(magic)
    if directories is None:
        raise Damaged(f"unknown optional header {magic:#x}")
    (count,) = unpack("<I", image, optional + directories - 4)
    if count < 3:
        return {}
    root_rva, root_size = unpack("<II", image, optional + directories + 2 * 8)
    if root_rva == 0:
        return {}
    table = [unpack("<8sIIII", image, optional + optional_size + 40 * i) for i in range(sections)]

    def at(rva, size):
        """The file offset of size bytes at the address rva."""
        for _, virtual_size, address, raw_size, raw in table:
            mapped = min(virtual_size, raw_size) if virtual_size else raw_size
            if address <= rva and rva + size <= address + mapped and raw + rva - address + size <= len(image):
                return raw + rva - address
        raise Damaged(f"{size} bytes at address {rva:#x} lie in no section of the file")

    root = at(root_rva, root_size)
    section = image[root : root + root_size]

    def name(value):
        if not value & 0x80000000:
            return value
        offset = value & 0x7FFFFFFF
        (length,) = unpack("<H", section, offset)
        return unpack(f"<{2 * length}s", section, offset + 2)[0].decode("utf-16-le", "replace")

    visited = 0

    def entries(offset):
        nonlocal visited
        named, numbered = unpack("<12xHH", section, offset)
        for i in range(named + numbered):
            visited += 1
            if visited > 100000:  # directories that lead back into each other
                raise Damaged("the resource directories hold too many entries")
            yield unpack("<II", section, offset + 16 + 8 * i)

    found = {}
    for type_name, types in entries(0):
        if not types & 0x80000000:
            raise Damaged("a resource type is no directory")
        for resource_name, names in entries(types & 0x7FFFFFFF):
            if not names & 0x80000000:
                raise Damaged("a resource name is no directory")
            for _, language in entries(names & 0x7FFFFFFF):
                if language & 0x80000000:
                    raise Damaged("a resource language is a directory")
                rva, size = unpack("<II", section, language)
                offset = at(rva, size)
                found.setdefault((name(type_name), name(resource_name)), []).append(image[offset : offset + size])
    return found


def one(found, key, what):
    if key not in found:
        raise Damaged(f"no {what}")
    return found[key][0]


def version_lines(found):
    info = [data for (kind, _), datas in found.items() if kind == RT_VERSION for data in datas]
    if not info:
        raise Damaged("no version information")
    data = info[0]

    def block(offset, end):
        """(key, value offset, value length, children offset, block end)"""
        length, value_length, text = unpack("<HHH", data, offset)
        stop = offset + length
        if length < 6 or stop > end:
            raise Damaged(f"a version block at {offset} overruns its parent")
        key_end = offset + 6
        while True:
            if key_end + 2 > stop:
                raise Damaged(f"the key of the version block at {offset} has no end")
            if unpack("<H", data, key_end)[0] == 0:
                break
            key_end += 2
        key = data[offset + 6 : key_end].decode("utf-16-le", "replace")
        value = (key_end + 2 + 3) & ~3
        size = value_length * 2 if text else value_length
        return key, value, min(size, max(stop - value, 0)), (value + size + 3) & ~3, stop

    def children(offset, end):
        while offset + 6 <= end:
            child = block(offset, end)
            yield child
            offset = (child[4] + 3) & ~3

    key, value, size, first, end = block(0, len(data))
    if key != "VS_VERSION_INFO" or size < 52:
        raise Damaged("the version information has no VS_VERSION_INFO block with fixed versions")
    signature, _, file_ms, file_ls, product_ms, product_ls = unpack("<6I", data, value)
    if signature != 0xFEEF04BD:
        raise Damaged("the fixed versions carry no signature")
    split = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    lines = [f"FILEVERSION={split(file_ms, file_ls)}", f"PRODUCTVERSION={split(product_ms, product_ls)}"]
    for key, _, _, tables, end_of_info in children(first, end):
        if key != "StringFileInfo":
            continue
        for _, _, _, strings, end_of_table in children(tables, end_of_info):
            for key, value, size, _, _ in children(strings, end_of_table):
                text = data[value : value + size].decode("utf-16-le", "replace").split("\0")[0]
                lines.append(f"{key}={text}")
    return lines


def icon_lines(found):
    lines = []
    for (kind, group), datas in found.items():
        if kind != RT_GROUP_ICON:
            continue
        data = datas[0]
        reserved, icon_type, count = unpack("<HHH", data, 0)
        if reserved != 0 or icon_type != 1:
            raise Damaged(f"the icon group {group} is no icon directory")
        pictures = []
        for i in range(count):
            width, height, _, _, _, _, _, number = unpack("<BBBBHHIH", data, 6 + 14 * i)
            picture = one(found, (RT_ICON, number), f"icon {number} of the icon group {group}")
            if picture[:8] == b"\x89PNG\r\n\x1a\n":
                real_width, real_height = unpack(">II", picture, 16)
                form = "png"
            else:
                real_width, real_height = unpack("<4xii", picture, 0)
                real_height //= 2  # the colours and the mask
                form = "bmp"
            if (width or 256, height or 256) != (real_width, real_height):
                raise Damaged(f"the icon group {group} calls icon {number} {width}x{height}, "
                              f"but it is {real_width}x{real_height}")
            pictures.append(f"{real_width}x{real_height}/{form}")
        lines.append(" ".join([str(group)] + pictures))
    return lines


def manifest_lines(found):
    text = [data for (kind, name), datas in found.items() if (kind, name) == (RT_MANIFEST, 1) for data in datas]
    if not text:
        raise Damaged("no manifest (resource 1 of type RT_MANIFEST)")
    try:
        root = ElementTree.fromstring(text[0])
    except ElementTree.ParseError as error:
        raise Damaged(f"the manifest is no XML: {error}") from error
    v1 = "{urn:schemas-microsoft-com:asm.v1}"
    lines = []
    for level in ("v2", "v3"):
        for element in root.iter(f"{{urn:schemas-microsoft-com:asm.{level}}}requestedExecutionLevel"):
            lines.append(f"executionLevel {element.get('level')}")
    for identity in root.iterfind(f"{v1}dependency/{v1}dependentAssembly/{v1}assemblyIdentity"):
        fields = ("name", "version", "publicKeyToken", "processorArchitecture", "type")
        lines.append(" ".join(["dependency"] + [str(identity.get(field)) for field in fields]))
    settings = (("dpiAware", "2005"), ("dpiAwareness", "2016"))
    for tag, year in settings:
        for element in root.iter(f"{{http://schemas.microsoft.com/SMI/{year}/WindowsSettings}}{tag}"):
            lines.append(f"{tag} {(element.text or '').strip()}")
    return lines


def main(argv):
    readers = {"version": version_lines, "icons": icon_lines, "manifest": manifest_lines}
    if len(argv) != 3 or argv[1] not in readers:
        print(f"usage: {argv[0]} version|icons|manifest EXE", file=sys.stderr)
        return 64
    try:
        with open(argv[2], "rb") as program:
            lines = readers[argv[1]](resources(program.read()))
    except (OSError, Damaged) as error:
        print(f"{argv[2]}: {error}", file=sys.stderr)
        return 1
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
