# A script application plug-in for the tests: answers with every key of its
# request file, one "Section.Key=value" line each (values decoded), in file
# order. With ParamString "warn" it also writes a warning to standard error;
# with "crlf" it ends its lines with CR LF.
import sys
import urllib.parse

section = ""
lines = []
with open(sys.argv[1], encoding="utf-8") as request:
    for raw in request:
        raw = raw.rstrip("\r\n")
        if raw.startswith("[") and raw.endswith("]"):
            section = raw[1:-1]
        elif "=" in raw:
            key, value = raw.split("=", 1)
            lines.append(section + "." + key + "=" + urllib.parse.unquote(value))

params = [l for l in lines if l.startswith("System.ParamString=")]
mode = params[0].split("=", 1)[1] if params else ""
end = "\r\n" if mode == "crlf" else "\n"
sys.stdout.write(end.join(lines) + end)
if mode == "warn":
    sys.stderr.write("deprecated option\n")
