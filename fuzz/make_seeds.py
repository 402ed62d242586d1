#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target under fuzz/corpus/: small closed and broken
meshes in the byte layout of fuzzed_mesh.h for the library targets, and small closed and
broken files for each reader. Run it again after changing that layout; the files are kept in
the repository so that a fresh clone fuzzes and replays without running anything first."""
import gzip
import io
import os
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
LIBRARY_TARGETS = ["angles", "distance", "ray_gradient", "sphere"]

# Opcodes and setup bits of fuzzed_mesh.h.
TETRA, BOX, QUADS, OCTA, NODE, FACE, MOVE, EDIT, NUDGE, MERGE = range(10)
UNIT_1E_9, UNIT_1E9, OFFSET, WELD, SPECIALS, LIE = 1, 2, 4, 8, 16, 32


def grid(v):
    """The coordinate byte of grid value v (0 to 7.5 in steps of 0.5)."""
    return int(round(v * 2)) % 16


def side(s):
    """The size digit of a box side of s (0.5 to 2, or 0)."""
    return {0.5: 0, 1: 1, 1.5: 2, 2: 3, 0: 4}[s]


def box(x, y, z, sx, sy, sz, quads=False, flip=False, other_diagonal=False):
    sizes = side(sx) + 5 * side(sy) + 25 * side(sz)
    return [QUADS if quads else BOX, grid(x), grid(y), grid(z), sizes,
            int(flip) | 2 * int(other_diagonal)]


def tetra(x, y, z, s, flip=False):
    return [TETRA, grid(x), grid(y), grid(z), int(s * 2) % 5, int(flip)]


def octa(x, y, z, r, flip=False):
    return [OCTA, grid(x), grid(y), grid(z), int(r * 2) % 5, int(flip)]


def mesh(*records, setup=0, params=(0, 0, 0, 0), lie=None):
    out = [setup, *params] + ([lie] if lie is not None else [])
    for r in records:
        out += r
    return bytes(out)


MESH_SEEDS = {
    "cube": mesh(box(0, 0, 0, 2, 2, 2)),
    "plate": mesh(box(0, 0, 0, 2, 2, 0.5, other_diagonal=True), params=(4, 2, 3, 0)),
    "tetrahedron": mesh(tetra(1, 1, 1, 2)),
    "octahedron_inside_out": mesh(octa(3, 3, 3, 1.5, flip=True)),
    "box_of_quads": mesh(box(0, 0, 0, 2, 1, 1, quads=True)),
    "boxes_sharing_a_face_welded": mesh(box(0, 0, 0, 1, 1, 1), box(1, 0, 0, 1, 1, 1), setup=WELD),
    "boxes_touching_at_an_edge": mesh(box(0, 0, 0, 1, 1, 1), box(1, 1, 0, 1, 1, 1)),
    "boxes_intersecting": mesh(box(0, 0, 0, 2, 2, 2), box(1, 1, 1, 2, 2, 2)),
    "box_inside_box": mesh(box(0, 0, 0, 2, 2, 2), box(0.5, 0.5, 0.5, 1, 1, 1)),
    "box_with_a_hole": mesh(box(0, 0, 0, 1, 1, 1), [EDIT, 3, 2]),
    "box_with_a_duplicate_face": mesh(box(0, 0, 0, 1, 1, 1), [EDIT, 5, 1]),
    "box_with_a_turned_face": mesh(box(0, 0, 0, 1, 1, 1), [EDIT, 0, 0]),
    "box_with_a_collapsed_face": mesh(box(0, 0, 0, 1, 1, 1), [EDIT, 7, 3]),
    "box_with_merged_nodes": mesh(box(0, 0, 0, 1, 1, 1), [MERGE, 0, 7]),
    "tetrahedron_with_coincident_nodes": mesh(tetra(0, 0, 0, 1), [MOVE, 3, 0, 0, 0]),
    "needle_tetrahedron": mesh(tetra(0, 0, 0, 2), [MOVE, 3, grid(2), 0, 0], [NUDGE, 1]),
    "flat_box": mesh(box(0, 0, 0, 2, 2, 0)),
    "part_of_1e-9": mesh(box(0, 0, 0, 2, 1, 1), setup=UNIT_1E_9),
    "part_of_1e9": mesh(box(0, 0, 0, 2, 1, 1), setup=UNIT_1E9),
    "part_1e8_from_the_origin": mesh(box(0, 0, 0, 2, 1, 1), setup=OFFSET),
    "far_stray_node": mesh(tetra(0, 0, 0, 1), [NODE, 0xFE, 0xFE, 0xFE], setup=SPECIALS),
    "nan_coordinate": mesh(tetra(0, 0, 0, 1), [MOVE, 1, 0xF8, 0, 0], setup=SPECIALS),
    "claimed_sizes_one_short": mesh(box(0, 0, 0, 1, 1, 1), setup=LIE, lie=0x11),
    "claimed_sizes_negative": mesh(tetra(0, 0, 0, 1), setup=LIE, lie=0x33),
    "raw_faces_with_bad_counts_and_nodes": mesh(
        [NODE, 0, 0, 0], [NODE, 2, 0, 0], [NODE, 0, 2, 0], [NODE, 0, 0, 2],
        [FACE, 5, 0, 2, 1], [FACE, 1], [FACE, 0], [FACE, 6, 0, 1, 3, 0xF8],
        [FACE, 9, 0, 1, 2, 3, 0, 1, 2]),
    "polygon_soup": mesh([NODE, 0, 0, 0], [NODE, 4, 0, 0], [NODE, 4, 4, 0], [NODE, 0, 4, 0],
                         [NODE, 2, 2, 4], [FACE, 6, 0, 1, 2, 3], [FACE, 5, 0, 1, 4],
                         [FACE, 5, 2, 3, 4]),
}


def stl_text(tris, name="seed"):
    lines = [f"solid {name}"]
    for t in tris:
        lines += ["  facet normal 0 0 0", "    outer loop"]
        lines += [f"      vertex {p[0]} {p[1]} {p[2]}" for p in t]
        lines += ["    endloop", "  endfacet"]
    return ("\n".join(lines + [f"endsolid {name}"]) + "\n").encode()


def stl_binary(tris, header=b"seed"):
    out = header.ljust(80, b" ") + struct.pack("<I", len(tris))
    for t in tris:
        out += struct.pack("<3f", 0, 0, 0)
        for p in t:
            out += struct.pack("<3f", *p)
        out += b"\0\0"
    return out


CUBE_NODES = [(x, y, z) for z in (0, 1) for y in (0, 1) for x in (0, 1)]
CUBE_QUADS = [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]
CUBE_TRIS = [t for q in CUBE_QUADS for t in ((q[0], q[1], q[2]), (q[0], q[2], q[3]))]
TETRA_NODES = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1)]
TETRA_TRIS = [(0, 2, 1), (0, 1, 3), (1, 2, 3), (2, 0, 3)]


def points(nodes, faces):
    return [[nodes[i] for i in f] for f in faces]


def obj(nodes, faces, style="{}"):
    lines = ["# seed", "o part"] + [f"v {x} {y} {z}" for x, y, z in nodes]
    lines += ["vn 0 0 1", "vt 0 0"]
    lines += ["f " + " ".join(style.format(i + 1) for i in f) for f in faces]
    return ("\n".join(lines) + "\n").encode()


def off(nodes, faces, keyword="OFF"):
    lines = [keyword, f"{len(nodes)} {len(faces)} 0"]
    lines += [f"{x} {y} {z}" for x, y, z in nodes]
    lines += [f"{len(f)} " + " ".join(map(str, f)) for f in faces]
    return ("\n".join(lines) + "\n").encode()


def ply(nodes, faces, encoding="ascii", index="int", coord="float"):
    head = ["ply", f"format {encoding} 1.0", "comment seed", f"element vertex {len(nodes)}",
            f"property {coord} x", f"property {coord} y", f"property {coord} z",
            f"element face {len(faces)}", f"property list uchar {index} vertex_indices",
            "end_header"]
    out = ("\n".join(head) + "\n").encode()
    if encoding == "ascii":
        body = [" ".join(map(str, n)) for n in nodes]
        body += [f"{len(f)} " + " ".join(map(str, f)) for f in faces]
        return out + ("\n".join(body) + "\n").encode()
    order = "<" if encoding == "binary_little_endian" else ">"
    cf = {"float": "f", "double": "d"}[coord]
    ix = {"int": "i", "uint": "I", "short": "h", "uchar": "B"}[index]
    for n in nodes:
        out += struct.pack(order + "3" + cf, *n)
    for f in faces:
        out += struct.pack(order + "B" + ix * len(f), len(f), *f)
    return out


READER_SEEDS = {
    "stl": {
        "cube_text.stl": stl_text(points(CUBE_NODES, CUBE_TRIS)),
        "cube_binary.stl": stl_binary(points(CUBE_NODES, CUBE_TRIS)),
        "binary_headed_solid.stl": stl_binary(points(TETRA_NODES, TETRA_TRIS), b"solid binary"),
        "open_tetrahedron_text.stl": stl_text(points(TETRA_NODES, TETRA_TRIS[:3])),
        "truncated_binary.stl": stl_binary(points(CUBE_NODES, CUBE_TRIS))[:200],
        "count_too_large.stl": stl_binary(points(TETRA_NODES, TETRA_TRIS))[:80]
        + struct.pack("<I", 0xFFFFFFFF) + stl_binary(points(TETRA_NODES, TETRA_TRIS))[84:],
    },
    "obj": {
        "cube_quads.obj": obj(CUBE_NODES, CUBE_QUADS),
        "tetrahedron_slashes.obj": obj(TETRA_NODES, TETRA_TRIS, "{0}/1/1"),
        "tetrahedron_normals.obj": obj(TETRA_NODES, TETRA_TRIS, "{0}//1"),
        "negative_indices.obj": b"v 0 0 0\nv 1 0 0\nv 0 1 0\nf -3 -2 -1\nv 0 0 1\n"
        b"f -4 -3 -1\nf 2 3 4 \\\n\nf 3 1 4\n",
        "index_past_the_end.obj": b"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n",
    },
    "off": {
        "tetrahedron.off": off(TETRA_NODES, TETRA_TRIS),
        "cube_quads_coloured.off": off(CUBE_NODES, CUBE_QUADS, "COFF").replace(
            b"\n0 0 0\n", b"\n0 0 0 255 0 0 255\n"),
        "counts_too_large.off": b"OFF\n99999999 2 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n",
        "face_of_bad_node.off": b"OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n",
    },
    "ply": {
        "tetrahedron_ascii.ply": ply(TETRA_NODES, TETRA_TRIS),
        "cube_quads_binary_le.ply": ply(CUBE_NODES, CUBE_QUADS, "binary_little_endian"),
        "cube_binary_be_double.ply": ply(CUBE_NODES, CUBE_TRIS, "binary_big_endian", "uint",
                                         "double"),
        "tetrahedron_uchar_indices.ply": ply(TETRA_NODES, TETRA_TRIS, "binary_little_endian",
                                             "uchar"),
        "truncated_binary.ply": ply(CUBE_NODES, CUBE_TRIS, "binary_little_endian")[:-7],
        "vertex_count_huge.ply": ply(TETRA_NODES, TETRA_TRIS).replace(
            b"element vertex 4", b"element vertex 4000000000"),
    },
}


def gz(data, members=1):
    """data gzip-compressed, split into `members` concatenated gzip members; mtime 0 keeps the
    files the same from run to run."""
    step = -(-len(data) // members)
    return b"".join(gzip.compress(data[i:i + step], mtime=0) for i in range(0, len(data), step))


def zipped(entries, method=zipfile.ZIP_DEFLATED):
    """A ZIP archive of (name, bytes) entries with fixed dates, so the files stay the same."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", method) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
            info.compress_type = method
            z.writestr(info, data)
    return out.getvalue()


THREEMF_TYPES = (b'<?xml version="1.0" encoding="UTF-8"?>\n'
                 b'<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                 b'<Default Extension="rels" '
                 b'ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                 b'<Default Extension="model" '
                 b'ContentType="application/vnd.ms-package.3dmanufacturing-3dmodel+xml"/>'
                 b'</Types>\n')
THREEMF_RELS = (b'<?xml version="1.0" encoding="UTF-8"?>\n'
                b'<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
                b'relationships"><Relationship Target="/3D/3dmodel.model" Id="rel0" '
                b'Type="http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel"/>'
                b'</Relationships>\n')


def threemf_object(oid, nodes, faces):
    v = "".join(f'<vertex x="{x}" y="{y}" z="{z}"/>' for x, y, z in nodes)
    t = "".join(f'<triangle v1="{a}" v2="{b}" v3="{c}"/>' for a, b, c in faces)
    return (f'<object id="{oid}" type="model"><mesh><vertices>{v}</vertices>'
            f'<triangles>{t}</triangles></mesh></object>')


def threemf_model(objects, items, unit="millimeter"):
    """objects: XML of each object; items: (object id, transform or None)."""
    build = "".join(f'<item objectid="{oid}"' + (f' transform="{t}"' if t else "") + "/>"
                    for oid, t in items)
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n<model unit="{unit}" xml:lang="en-US" '
            f'xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02">'
            f'<resources>{"".join(objects)}</resources><build>{build}</build></model>\n'
            ).encode()


def threemf(model, rels=THREEMF_RELS):
    return zipped([("[Content_Types].xml", THREEMF_TYPES), ("_rels/.rels", rels),
                   ("3D/3dmodel.model", model)])


THREEMF_COMPONENTS = (f'<object id="2" type="model"><components>'
                      f'<component objectid="1" transform="1 0 0 0 1 0 0 0 1 0 0 0"/>'
                      f'<component objectid="1" transform="1 0 0 0 1 0 0 0 1 3 0 0"/>'
                      f'</components></object>')


def amf_object(oid, nodes, faces):
    v = "".join(f"<vertex><coordinates><x>{x}</x><y>{y}</y><z>{z}</z></coordinates></vertex>"
                for x, y, z in nodes)
    t = "".join(f"<triangle><v1>{a}</v1><v2>{b}</v2><v3>{c}</v3></triangle>"
                for a, b, c in faces)
    return f'<object id="{oid}"><mesh><vertices>{v}</vertices><volume>{t}</volume></mesh></object>'


def amf(*parts, unit="millimeter"):
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n<amf unit="{unit}">' + "".join(parts) +
            "</amf>\n").encode()


AMF_CONSTELLATION = ('<constellation id="10"><instance objectid="1"><deltax>0</deltax>'
                     '<deltay>0</deltay><deltaz>0</deltaz><rz>0</rz></instance>'
                     '<instance objectid="1"><deltax>3</deltax><rz>90</rz></instance>'
                     '</constellation>')
AMF_NESTED = ('<constellation id="11"><instance objectid="10"><deltaz>5</deltaz></instance>'
              '<instance objectid="10"/></constellation>')


def packaged_seeds():
    tetra = threemf_object(1, TETRA_NODES, TETRA_TRIS)
    cube_amf = amf(amf_object(1, CUBE_NODES, CUBE_TRIS))
    return {
        "3mf": {
            "cube.3mf": threemf(threemf_model([threemf_object(1, CUBE_NODES, CUBE_TRIS)],
                                              [(1, None)])),
            "tetrahedron_moved_in_inches.3mf": threemf(threemf_model(
                [tetra], [(1, "1 0 0 0 1 0 0 0 1 5 5 5")], unit="inch")),
            "components_placed_twice.3mf": threemf(threemf_model(
                [tetra, THREEMF_COMPONENTS], [(2, None), (1, "2 0 0 0 2 0 0 0 2 0 9 0")])),
            "triangle_of_a_missing_vertex.3mf": threemf(threemf_model(
                [threemf_object(1, TETRA_NODES, TETRA_TRIS[:3] + [(0, 1, 7)])], [(1, None)])),
            "stored_not_deflated.3mf": zipped(
                [("[Content_Types].xml", THREEMF_TYPES), ("_rels/.rels", THREEMF_RELS),
                 ("3D/3dmodel.model", threemf_model([tetra], [(1, None)]))], zipfile.ZIP_STORED),
            "truncated.3mf": threemf(threemf_model([tetra], [(1, None)]))[:300],
        },
        "amf": {
            "cube.amf": cube_amf,
            "cube_zipped.amf": zipped([("cube.amf", cube_amf)]),
            "constellations_nested.amf": amf(amf_object(1, TETRA_NODES, TETRA_TRIS),
                                              AMF_CONSTELLATION, AMF_NESTED, unit="inch"),
            "two_objects_no_constellation.amf": amf(amf_object(1, TETRA_NODES, TETRA_TRIS),
                                                     amf_object(2, CUBE_NODES, CUBE_TRIS)),
            "triangle_without_v3.amf": amf(amf_object(1, TETRA_NODES, TETRA_TRIS)).replace(
                b"<v3>3</v3>", b"", 1),
            "instance_of_a_missing_object.amf": amf(
                amf_object(1, TETRA_NODES, TETRA_TRIS),
                '<constellation id="5"><instance objectid="9"/></constellation>'),
            "unclosed_tag.amf": amf(amf_object(1, TETRA_NODES, TETRA_TRIS))[:-12],
        },
    }


def gzip_seeds():
    tetra_stl = stl_text(points(TETRA_NODES, TETRA_TRIS))
    return {
        "cube_binary.stl.gz": gz(stl_binary(points(CUBE_NODES, CUBE_TRIS))),
        "tetrahedron_text.stl.gz": gz(tetra_stl),
        "cube_quads.obj.gz": gz(obj(CUBE_NODES, CUBE_QUADS)),
        "tetrahedron.off.gz": gz(off(TETRA_NODES, TETRA_TRIS)),
        "cube_binary.ply.gz": gz(ply(CUBE_NODES, CUBE_QUADS, "binary_little_endian")),
        "two_members.stl.gz": gz(tetra_stl, members=2),
        "truncated.stl.gz": gz(tetra_stl)[:-9],
        "cube.amf.gz": gz(amf(amf_object(1, CUBE_NODES, CUBE_TRIS))),
        "damaged_checksum.off.gz": gz(off(TETRA_NODES, TETRA_TRIS))[:-8] + b"\0" * 8,
    }


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def with_varied_parameters(i, data):
    """Seeds left with parameters 0 get parameters that differ from seed to seed, so that the
    corpus holds both values of every flag and several pull directions."""
    if data[1:5] != bytes(4):
        return data
    params = bytes([i % 4, (3 * i) % 5, (7 * i) % 5, (i % 4) | (0x80 if i % 9 == 8 else 0)])
    return data[:1] + params + data[5:]


def main():
    for target in LIBRARY_TARGETS:
        for i, (name, data) in enumerate(MESH_SEEDS.items()):
            write(os.path.join(HERE, "corpus", target), name, with_varied_parameters(i, data))
    for reader, files in {**READER_SEEDS, **packaged_seeds(), "gzip": gzip_seeds()}.items():
        for name, data in files.items():
            write(os.path.join(HERE, "corpus", reader + "_reader"), name, data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
