"""Reads what the Windows executables carry: their resources (icons, version block) from .rsrc.

Only what the checks need of the PE format: the section table, the resource directory tree
(type / name / language), icon groups and the version block with its string tables.
"""

import struct

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16


class FormatError(Exception):
    pass


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise FormatError("no MZ header")
        (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
        if data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise FormatError("no PE signature")
        self.machine, section_count, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe_offset + 4)
        optional = pe_offset + 24
        (magic,) = struct.unpack_from("<H", data, optional)
        directories = optional + (112 if magic == 0x20B else 96)  # PE32+ or PE32
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for index in range(section_count):
            name, virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * index)
            self.sections.append((name.rstrip(b"\0").decode(), rva, max(virtual_size, raw_size), raw_offset, raw_size))

    def read_rva(self, rva, length):
        for _, start, size, raw_offset, raw_size in self.sections:
            if start <= rva and rva + length <= start + size:
                offset = rva - start
                if offset + length > raw_size:
                    raise FormatError("RVA %#x runs past the raw data of its section" % rva)
                return self.data[raw_offset + offset:raw_offset + offset + length]
        raise FormatError("RVA %#x lies in no section" % rva)

    def resources(self):
        """{(type, name, language): bytes}; a named entry's name is a str, an ID an int."""
        if self.resource_rva == 0:
            return {}
        tree = self.read_rva(self.resource_rva, self.resource_size)
        found = {}
        self._walk(tree, 0, (), found)
        return found

    def _walk(self, tree, offset, path, found):
        named, numbered = struct.unpack_from("<HH", tree, offset + 12)
        for index in range(named + numbered):
            key, value = struct.unpack_from("<II", tree, offset + 16 + 8 * index)
            if key & 0x80000000:
                (length,) = struct.unpack_from("<H", tree, key & 0x7FFFFFFF)
                start = (key & 0x7FFFFFFF) + 2
                key = tree[start:start + 2 * length].decode("utf-16-le")
            if value & 0x80000000:
                self._walk(tree, value & 0x7FFFFFFF, path + (key,), found)
                continue
            rva, size, _, _ = struct.unpack_from("<IIII", tree, value)
            found[path + (key,)] = self.read_rva(rva, size)


def resources_of(path):
    with open(path, "rb") as image:
        return PeImage(image.read()).resources()


def find(resources, kind, name):
    """The data of resource `kind`/`name` in whatever language it was stored; None when absent."""
    for (found_kind, found_name, _), data in resources.items():
        if found_kind == kind and found_name == name:
            return data
    return None


def icon_group(data):
    """The entries of an RT_GROUP_ICON: (width, height, bit count, size in bytes, icon ID)."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        raise FormatError("not an icon group")
    entries = []
    for index in range(count):
        width, height, _, _, _, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * index)
        entries.append((width or 256, height or 256, bits, size, icon_id))
    return entries


def icon_file_images(data):
    """The images of an .ico file: [(width, height, bytes)]."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        raise FormatError("not an icon file")
    images = []
    for index in range(count):
        width, height, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * index)
        images.append((width or 256, height or 256, data[offset:offset + size]))
    return images


def _align(offset):
    return (offset + 3) & ~3


def _version_node(data, offset):
    """One node of the version block: (key, value bytes, is text, children, end offset)."""
    length, value_length, is_text = struct.unpack_from("<HHH", data, offset)
    if length == 0:
        raise FormatError("empty version node")
    end = offset + length
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[offset + 6:key_end].decode("utf-16-le")
    value_start = _align(key_end + 2)
    value_bytes = value_length * 2 if is_text else value_length
    value = data[value_start:value_start + value_bytes]
    children = []
    child = _align(value_start + value_bytes)
    while child < end:
        node = _version_node(data, child)
        children.append(node)
        child = _align(node[4])
    return key, value, is_text, children, end


class VersionInfo:
    """The fixed file information and the string tables of an RT_VERSION resource."""

    def __init__(self, data):
        key, value, _, children, _ = _version_node(data, 0)
        if key != "VS_VERSION_INFO" or len(value) != 52:
            raise FormatError("not a version block")
        fields = struct.unpack_from("<13I", value)
        if fields[0] != 0xFEEF04BD:
            raise FormatError("bad VS_FIXEDFILEINFO signature %#x" % fields[0])
        self.file_version = (fields[2] >> 16, fields[2] & 0xFFFF, fields[3] >> 16, fields[3] & 0xFFFF)
        self.product_version = (fields[4] >> 16, fields[4] & 0xFFFF, fields[5] >> 16, fields[5] & 0xFFFF)
        self.file_os, self.file_type = fields[8], fields[9]
        self.tables = {}  # "040C04E4" -> {name: text}
        self.translations = []  # [(language, code page)]
        for child_key, _, _, grandchildren, _ in children:
            if child_key == "StringFileInfo":
                for table_key, _, _, strings, _ in grandchildren:
                    self.tables[table_key] = {
                        name: text.decode("utf-16-le").rstrip("\0") for name, text, _, _, _ in strings}
            elif child_key == "VarFileInfo":
                for var_key, var_value, _, _, _ in grandchildren:
                    if var_key == "Translation":
                        self.translations += [struct.unpack_from("<HH", var_value, at)
                                              for at in range(0, len(var_value) - 3, 4)]
