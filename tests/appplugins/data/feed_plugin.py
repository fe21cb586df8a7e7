# A script application plug-in that answers every request with an RSS feed of
# one item titled "<request>:<ParamString>:<Topic>", from its request file.
import sys
import urllib.parse

values = {}
section = ""
with open(sys.argv[1], encoding="utf-8") as request:
    for raw in request:
        raw = raw.rstrip("\r\n")
        if raw.startswith("[") and raw.endswith("]"):
            section = raw[1:-1]
        elif "=" in raw:
            key, value = raw.split("=", 1)
            values[section + "." + key] = urllib.parse.unquote(value)

title = "%s:%s:%s" % (values.get("System.PluginRequest", ""), values.get("System.ParamString", ""),
                      values.get("ChannelParameters.Topic", "-"))
sys.stdout.write('<?xml version="1.0"?><rss version="2.0"><channel><title>Script feed</title>'
                 '<item><title>%s</title><link>http://example.com/1</link></item></channel></rss>\n' % title)
