"""Writes a zip whose bytes depend only on the files' contents: entries sorted by name, every date set to
SOURCE_DATE_EPOCH, fixed permissions, no extra fields.
    make_zip.py OUT.zip FOLDER   (FOLDER's name becomes the zip's one top folder)"""
import os
import sys
import time
import zipfile


def main(out, folder):
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800)  # zip dates start in 1980
    date = time.gmtime(epoch)[:6]
    top = os.path.basename(os.path.normpath(folder))
    # Every folder and file below folder, by their names inside the zip.
    entries = []
    for here, dirs, files in os.walk(folder):
        inside = os.path.relpath(here, folder).replace(os.sep, "/")
        prefix = top + "/" if inside == "." else f"{top}/{inside}/"
        entries += [(prefix + d + "/", None) for d in dirs]
        entries += [(prefix + f, os.path.join(here, f)) for f in files]
    with zipfile.ZipFile(out + ".tmp", "w") as z:
        entry = zipfile.ZipInfo(top + "/", date)
        entry.create_system = 0  # as a Windows zip tool writes it: no Unix owner or mode bits
        entry.external_attr = 0x10  # directory
        z.writestr(entry, b"")
        for name, path in sorted(entries):
            entry = zipfile.ZipInfo(name, date)
            entry.create_system = 0
            if path is None:
                entry.external_attr = 0x10
                z.writestr(entry, b"")
                continue
            entry.external_attr = 0x20  # archive
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                z.writestr(entry, f.read(), compresslevel=9)
    os.replace(out + ".tmp", out)


if __name__ == "__main__":
    main(*sys.argv[1:])
