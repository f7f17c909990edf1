#pragma once
// A download check of our own in the style of today's PMC: a small page whose
// script finds a nonce by proof of work (SHA-256 over challenge + nonce with
// `difficulty` leading zero bits, through crypto.subtle), stores
// "challenge:nonce" in the cookie cloudpmc-viewer-pow and loads the page
// again. ProofOfWorkPasses is the server's side of it.
#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QPair>

inline QByteArray ChallengePage(const QByteArray &challenge, int difficulty)
{
    return QByteArray(R"HTML(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Preparing to download ...</title></head>
<body><h1>Preparing to download ...</h1>
<script>
const POW_CHALLENGE = ")HTML") + challenge + R"HTML(";
const POW_DIFFICULTY = )HTML" + QByteArray::number(difficulty) + R"HTML(;
const POW_COOKIE_NAME = "cloudpmc-viewer-pow";
function zeroBits(bytes) {
  let n = 0;
  for (const b of bytes) {
    if (b === 0) { n += 8; continue; }
    return n + Math.clz32(b) - 24;
  }
  return n;
}
async function solve() {
  const text = new TextEncoder();
  for (let nonce = 0; ; nonce++) {
    const digest = await crypto.subtle.digest("SHA-256", text.encode(POW_CHALLENGE + nonce));
    if (zeroBits(new Uint8Array(digest)) >= POW_DIFFICULTY) return nonce;
  }
}
solve().then(function (nonce) {
  document.cookie = POW_COOKIE_NAME + "=" + POW_CHALLENGE + ":" + nonce + "; path=/";
  window.location.reload();
});
</script></body></html>
)HTML";
}

inline int LeadingZeroBits(const QByteArray &digest)
{
    int n = 0;
    for (const char c : digest) {
        const uchar b = uchar(c);
        if (b == 0) {
            n += 8;
            continue;
        }
        for (int bit = 7; bit >= 0 && !(b & (1 << bit)); --bit)
            ++n;
        break;
    }
    return n;
}

// True when the Cookie header carries cloudpmc-viewer-pow=challenge:nonce
// with enough leading zero bits for this challenge.
inline bool ProofOfWorkPasses(const QByteArray &cookieHeader, const QByteArray &challenge, int difficulty)
{
    for (QByteArray pair : cookieHeader.split(';')) {
        pair = pair.trimmed();
        const QByteArray prefix = "cloudpmc-viewer-pow=" + challenge + ":";
        if (!pair.startsWith(prefix))
            continue;
        const QByteArray nonce = pair.mid(prefix.size());
        const QByteArray digest = QCryptographicHash::hash(challenge + nonce, QCryptographicHash::Sha256);
        if (LeadingZeroBits(digest) >= difficulty)
            return true;
    }
    return false;
}
