#!/bin/sh
# MMSTEST.MMS read by an independent decoder: the message is posted to an
# MMSC in a capture made with text2pcap, and tshark's MMS dissector must see
# an m-send-req of MMS 1.2 whose body holds the SMIL, text and image parts,
# without a malformed field.
set -eu
mms=$1
command -v tshark >/dev/null && command -v text2pcap >/dev/null || { echo "tshark and text2pcap are needed (tools/deps)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
size=$(wc -c <"$mms")
{ printf 'POST /mms HTTP/1.1\r\nHost: mmsc\r\nContent-Type: application/vnd.wap.mms-message\r\nContent-Length: %d\r\n\r\n' "$size"
  cat "$mms"; } >"$work/post"
od -Ax -tx1 -v "$work/post" >"$work/post.hex"
text2pcap -q -T 1234,80 "$work/post.hex" "$work/post.pcap"
# One run: the fields, then tshark's own verdicts (a malformed mark, expert
# severities, of which only HTTP's "chat" is expected).
got=$(tshark -r "$work/post.pcap" -T fields -E separator='|' -e mmse.message_type -e mmse.mms_version \
        -e wsp.multipart -e wsp.header.content_type -e _ws.malformed -e _ws.expert.severity 2>/dev/null)
want='0x80|1.2|1,2,3|application/vnd.wap.multipart.related,application/smil,text/plain,image/gif||2097152'
if [ "$got" != "$want" ]; then
  echo "tshark decoded:  $got"; echo "expected:        $want"; exit 1
fi
echo "MMSTEST.MMS: $got"
