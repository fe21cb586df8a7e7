#!/usr/bin/env python3
"""Test plug-in: checks the request file the host wrote for it.

Prints a feed whose items name the checks that passed; any mismatch is
reported on standard error and ends the script with exit code 1.
"""
import os
import re
import sys

EXPECTED_DOWNLOAD = b"line1\r\nline2\nbinary\x00\xff\rend"


def decode(value):
    # Values are stored percent-encoded byte by byte.
    raw = re.sub(rb"%([0-9A-Fa-f]{2})", lambda m: bytes([int(m.group(1), 16)]), value.encode("latin-1"))
    return raw.decode("utf-8")


def read_request(path):
    sections, current = {}, None
    with open(path, encoding="latin-1") as f:
        for line in f.read().splitlines():
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1], [])
            elif current is not None and "=" in line:
                key, value = line.split("=", 1)
                current.append((key.strip(), decode(value.strip())))
    return sections


def main():
    errors = []
    if len(sys.argv) != 2:
        errors.append("expected one argument, got %r" % sys.argv[1:])
    request = read_request(sys.argv[-1])

    system = request.get("System", [])
    keys = [k for k, _ in system]
    values = dict(system)
    head = ["Command", "AppServerUrl", "AppPluginServerUrl", "ChannelConfigFile"]
    standard = ["AppName", "UserName", "VersionString"]
    tail = ["DownloadUrlFile"] if "DownloadUrlFile" in values else []
    if keys != head + standard + tail:
        errors.append("System keys: %r" % keys)
    if values.get("Command") != "ProcessRequest":
        errors.append("Command: %r" % values.get("Command"))
    for key in ("AppServerUrl", "AppPluginServerUrl"):
        if not re.fullmatch(r"http://127\.0\.0\.1:\d+", values.get(key, "")):
            errors.append("%s: %r" % (key, values.get(key)))
    channel_file = values.get("ChannelConfigFile", "")
    if not channel_file.endswith(".plugin") or not os.path.isfile(channel_file):
        errors.append("ChannelConfigFile: %r" % channel_file)
    if (values.get("AppName"), values.get("UserName"), values.get("VersionString")) != ("orvan", "J. Doe 100%", "1.0"):
        errors.append("standard parameters: %r" % values)

    plugin = request.get("PluginParameters", [])
    if plugin != [("Token", "a\r\nb 100%"), ("Empty", ""), ("Missing", "fallback")]:
        errors.append("PluginParameters: %r" % plugin)

    channel = request.get("ChannelParameters", [])
    channel_values = dict(channel)
    if [k for k, _ in channel] != ["Count", "Note", "DownloadUrl"]:
        errors.append("ChannelParameters keys: %r" % channel)
    if channel_values.get("Count") != "5" or channel_values.get("Note") != "x y":
        errors.append("ChannelParameters: %r" % channel)

    passed = ["request"]
    if "DownloadUrlFile" in values:
        with open(values["DownloadUrlFile"], "rb") as f:
            data = f.read()
        if data != EXPECTED_DOWNLOAD:
            errors.append("download: %r" % data)
        passed.append("download")
    if os.getcwd() != os.path.dirname(os.path.abspath(__file__)):
        errors.append("working directory: %r" % os.getcwd())

    if errors:
        sys.stderr.write("\n".join(errors) + "\n")
        sys.exit(1)
    items = "".join("<item><guid>%s-ok</guid><title>%s</title></item>" % (p, p) for p in passed)
    sys.stdout.write('<?xml version="1.0"?>\n<rss version="2.0"><channel><title>checked</title>'
                     "<link>http://127.0.0.1/</link><description>py</description>%s</channel></rss>\n" % items)


main()
