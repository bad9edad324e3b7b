#!/usr/bin/env python3
"""The shipped program's size beside its target, and who contributes it, from the linker's map.

    tools/bench/size.py [build/i686/bin/CpuVantor.exe] [--members N] [--csv]

The release build writes <program>.map beside the program (the linker's -Map). Figures are bytes of
input sections that occupy the file (.bss and common symbols take no file space); the linker's own
additions (base relocations, import tables, resources, padding to the file alignment) are the rest.
"""
import argparse
import collections
import os
import re
import sys

TARGET = 600 * 1024
# Sections that take address space but no bytes in the file.
NO_FILE_SPACE = ('.bss', 'COMMON')


def contributor(path):
    """Archive and member ("stdc++", "cp-demangle.o"; "gui", "Control.cpp"), or "(objects)" and the file."""
    member = re.match(r'(.*?)\(([^()]*)\)$', path)
    if not member:
        return '(objects)', re.sub(r'\.obj$', '', os.path.basename(path))
    library = re.sub(r'^lib(.*?)(\.dll)?\.a$', r'\1', os.path.basename(member.group(1)))
    return library, re.sub(r'\.obj$', '', member.group(2))


def read_map(path):
    """(library, member, section) -> bytes, for the input sections placed in the output."""
    sizes = collections.Counter()
    pending = None
    in_memory_map = False
    line_re = re.compile(r'^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$')
    with open(path, encoding='utf-8', errors='replace') as lines:
        for line in lines:
            line = line.rstrip('\n')
            if line.startswith('Linker script and memory map'):
                in_memory_map = True
                continue
            if not in_memory_map:
                continue
            # A long section name stands alone; its address, size and file follow on the next line.
            alone = re.match(r'^ (\.\S+|COMMON)$', line)
            if alone:
                pending = alone.group(1)
                continue
            match = line_re.match(line)
            section = None
            if match and match.group(1):
                section = match.group(1)
            elif match and pending:
                section = pending
            pending = None
            if not section or section.startswith('*'):
                continue
            size = int(match.group(3), 16)
            source = match.group(4).strip()
            if size == 0 or source.startswith('load address') or ' ' in source:
                continue
            library, member = contributor(source)
            sizes[(library, member, output_section(section))] += size
    return sizes


def output_section(section):
    for name in ('.text', '.rdata', '.data', '.eh_frame', '.bss', '.tls', '.idata', '.pdata', '.xdata',
                 '.CRT', '.ctors', '.dtors', '.rsrc', '.gcc_except_table'):
        if section == name or section.startswith(name + '.') or section.startswith(name + '$'):
            return name
    if section == 'COMMON':
        return 'COMMON'
    if section.startswith('.rodata'):
        return '.rdata'
    return section


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('exe', nargs='?', default='build/i686/bin/CpuVantor.exe')
    parser.add_argument('--members', type=int, default=12, help='largest members listed (default 12)')
    parser.add_argument('--csv', action='store_true')
    args = parser.parse_args()
    if not os.path.exists(args.exe):
        sys.exit(f'size: no {args.exe}; build it first (cmake --build --preset i686)')
    total = os.path.getsize(args.exe)
    map_path = os.path.splitext(args.exe)[0] + '.map'
    sizes = read_map(map_path) if os.path.exists(map_path) else None

    rows = [('program', os.path.basename(args.exe), total, f'{total / TARGET:.2f}x of 600 KB')]
    if sizes:
        in_file = {key: size for key, size in sizes.items() if key[2] not in NO_FILE_SPACE}
        by_section = collections.Counter()
        by_library = collections.Counter()
        by_member = collections.Counter()
        for (library, member, section), size in in_file.items():
            by_section[section] += size
            by_library[library] += size
            by_member[(library, member)] += size
        placed = sum(in_file.values())
        rows.append(('linker', 'relocations, imports, resources, alignment', total - placed, ''))
        for section, size in by_section.most_common():
            rows.append(('section', section, size, ''))
        for library, size in by_library.most_common():
            eh = sum(s for (l, _, sec), s in in_file.items() if l == library and sec == '.eh_frame')
            rows.append(('library', library, size, f'.eh_frame {eh}'))
        for (library, member), size in by_member.most_common(args.members):
            rows.append(('member', f'{library}: {member}', size, ''))
    if args.csv:
        print('kind,name,bytes,note')
        for kind, name, size, note in rows:
            print(f'{kind},"{name}",{size},"{note}"')
        return
    for kind, name, size, note in rows:
        print(f'{kind:8} {name:52} {size:>10,} {note}')
    if sizes is None:
        print(f'(no {map_path}: the release build writes it)')


if __name__ == '__main__':
    main()
