#!/usr/bin/env python3
"""A stand-in for an object store's listing calls, on 127.0.0.1 only, so that
the real S3 command-line clients installed here print their real listings.

Serves bucket 'share' from the regular files of a local folder (keys are the
relative paths; symlinks, FIFOs and the like are left out as an object store
has none), plus one zero-byte 'folder marker' key ending in '/', and an empty
bucket 'empty'. Answers ListBuckets, HeadBucket, GetBucketLocation and
ListObjects (V1 and V2, prefix, delimiter, max-keys, continuation). No
signature is checked. Writes its port to the file named by argv[2].
"""
import os, sys, stat, datetime, urllib.parse
from http.server import BaseHTTPRequestHandler, HTTPServer
from xml.sax.saxutils import escape

ROOT = sys.argv[1]
PORT_FILE = sys.argv[2]

def load_objects(root):
    objs = []
    for d, dirs, files in os.walk(root):
        for f in files:
            p = os.path.join(d, f)
            st = os.lstat(p)
            if not stat.S_ISREG(st.st_mode):
                continue
            key = os.path.relpath(p, root)
            # keys are UTF-8: a name that is not becomes U+FFFD where it breaks
            key = os.fsencode(key).decode('utf-8', 'replace')
            objs.append((key, st.st_size, st.st_mtime))
    objs.append(('keep/console-folder/', 0, 1710428523.0))
    objs.sort(key=lambda o: o[0].encode('utf-8'))
    return objs

BUCKETS = {'share': load_objects(ROOT), 'empty': []}

def iso(t):
    return datetime.datetime.fromtimestamp(t, datetime.timezone.utc).strftime('%Y-%m-%dT%H:%M:%S.000Z')

class H(BaseHTTPRequestHandler):
    def log_message(self, *a):
        pass

    def reply(self, code, body=b'', ctype='application/xml'):
        self.send_response(code)
        self.send_header('Content-Type', ctype)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        if self.command != 'HEAD':
            self.wfile.write(body)

    def bucket_query(self):
        u = urllib.parse.urlsplit(self.path)
        parts = u.path.lstrip('/').split('/', 1)
        q = urllib.parse.parse_qs(u.query, keep_blank_values=True)
        return parts[0], {k: v[0] for k, v in q.items()}

    def no_bucket(self, b):
        self.reply(404, ('<?xml version="1.0" encoding="UTF-8"?><Error><Code>NoSuchBucket</Code>'
                         '<Message>The specified bucket does not exist</Message>'
                         '<BucketName>%s</BucketName></Error>' % escape(b)).encode())

    def do_HEAD(self):
        b, _ = self.bucket_query()
        self.reply(200 if b in BUCKETS else 404)

    def do_GET(self):
        b, q = self.bucket_query()
        if not b:
            xs = ''.join('<Bucket><Name>%s</Name><CreationDate>2024-03-14T15:02:03.000Z</CreationDate></Bucket>' % n
                         for n in BUCKETS)
            return self.reply(200, ('<?xml version="1.0" encoding="UTF-8"?><ListAllMyBucketsResult>'
                                    '<Owner><ID>1</ID><DisplayName>x</DisplayName></Owner><Buckets>%s</Buckets>'
                                    '</ListAllMyBucketsResult>' % xs).encode())
        if b not in BUCKETS:
            return self.no_bucket(b)
        if 'location' in q:
            return self.reply(200, b'<?xml version="1.0" encoding="UTF-8"?><LocationConstraint/>')
        self.list_objects(b, q)

    def list_objects(self, b, q):
        v2 = q.get('list-type') == '2'
        prefix = q.get('prefix', '')
        delim = q.get('delimiter', '')
        maxk = int(q.get('max-keys', '1000'))
        url = q.get('encoding-type') == 'url'
        after = q.get('continuation-token' if v2 else 'marker', '') or q.get('start-after', '')
        enc = (lambda s: urllib.parse.quote(s, safe='/')) if url else escape
        contents, prefixes, last, truncated = [], [], '', False
        for key, size, mt in BUCKETS[b]:
            if not key.startswith(prefix) or (after and key.encode() <= after.encode()):
                continue
            if len(contents) + len(prefixes) >= maxk:
                truncated = True
                break
            rest = key[len(prefix):]
            if delim and delim in rest:
                cp = prefix + rest.split(delim, 1)[0] + delim
                if cp not in prefixes:
                    prefixes.append(cp)
                last = key
                continue
            contents.append('<Contents><Key>%s</Key><LastModified>%s</LastModified><ETag>"0"</ETag>'
                            '<Size>%d</Size><StorageClass>STANDARD</StorageClass></Contents>'
                            % (enc(key), iso(mt), size))
            last = key
        x = ['<?xml version="1.0" encoding="UTF-8"?><ListBucketResult><Name>%s</Name><Prefix>%s</Prefix>'
             % (b, enc(prefix)), '<MaxKeys>%d</MaxKeys>' % maxk]
        if delim:
            x.append('<Delimiter>%s</Delimiter>' % enc(delim))
        if url:
            x.append('<EncodingType>url</EncodingType>')
        x.append('<IsTruncated>%s</IsTruncated>' % ('true' if truncated else 'false'))
        if v2:
            x.append('<KeyCount>%d</KeyCount>' % (len(contents) + len(prefixes)))
            if truncated:
                x.append('<NextContinuationToken>%s</NextContinuationToken>' % escape(last))
        elif truncated:
            x.append('<NextMarker>%s</NextMarker>' % enc(last))
        x += contents
        x += ['<CommonPrefixes><Prefix>%s</Prefix></CommonPrefixes>' % enc(p) for p in prefixes]
        x.append('</ListBucketResult>')
        self.reply(200, ''.join(x).encode())

srv = HTTPServer(('127.0.0.1', 0), H)
with open(PORT_FILE, 'w') as f:
    f.write(str(srv.server_address[1]))
srv.serve_forever()
