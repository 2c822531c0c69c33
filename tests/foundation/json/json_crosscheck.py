#!/usr/bin/env python3
"""Reads JSON documents with Python's own json module, as an independent
reference for the codec's tests.

  json_crosscheck.py check IN OUT   IN holds records "<length>\\n<bytes>";
                                    OUT gets one line per record:
                                    "OK <canonical>", "ERR" or "DEV <why>".
  json_crosscheck.py write OUT SEED writes documents made by json.dumps to
                                    OUT as records.

The canonical form is compact, keeps key order, escapes only what JSON
requires, writes integers as they are and other numbers as exact decimals
(no trailing zeros, 0 for any zero, plain digits while they fit 38).

"DEV" marks documents Python accepts that the codec refuses on purpose:
a top-level scalar, more than 32 nested containers, numbers of more than
38 digits or with a decimal exponent outside -128..127, NaN and the
infinities, and texts with unpaired surrogate escapes.
"""
import decimal
import json
import random
import sys

decimal.getcontext().prec = 200


class Deviation(Exception):
    pass


def number_limits(text):
    mantissa, _, exp = text.lower().partition("e")
    intpart, _, frac = mantissa.lstrip("-").partition(".")
    digits = len(intpart) + len(frac)
    exponent = (int(exp) if exp else 0) - len(frac)
    if digits > 38:
        raise Deviation("precision")
    if exponent < -128 or exponent > 127:
        raise Deviation("exponent")


def parse_int(text):
    number_limits(text)
    return int(text)


def parse_float(text):
    number_limits(text)
    return decimal.Decimal(text)


def parse_constant(text):
    raise Deviation("nonfinite")


def plain(d):
    # Plain digits while they fit 38 (counting the zero of "0."), else
    # digits and an exponent kept within -128..127.
    if d == 0:
        return "0"
    sign, digits, exp = d.normalize().as_tuple()
    s = "".join(map(str, digits))
    n = len(s)
    prefix = "-" if sign else ""
    if exp >= 0:
        if n + exp <= 38:
            return prefix + s + "0" * exp
        if exp > 127:
            s += "0" * (exp - 127)
            exp = 127
        return prefix + s + "e" + str(exp)
    f = -exp
    if (n if f < n else f + 1) > 38:
        return prefix + s + "e" + str(exp)
    if f < n:
        return prefix + s[:n - f] + "." + s[n - f:]
    return prefix + "0." + "0" * (f - n) + s


def canonical(v, depth=0):
    if isinstance(v, dict):
        if depth >= 32:
            raise Deviation("deep")
        return "{" + ",".join(canonical_str(k) + ":" + canonical(x, depth + 1) for k, x in v.items()) + "}"
    if isinstance(v, list):
        if depth >= 32:
            raise Deviation("deep")
        return "[" + ",".join(canonical(x, depth + 1) for x in v) + "]"
    if v is True:
        return "true"
    if v is False:
        return "false"
    if v is None:
        return "null"
    if isinstance(v, int):
        return str(v)
    if isinstance(v, decimal.Decimal):
        return plain(v)
    return canonical_str(v)


def canonical_str(s):
    text = json.dumps(s, ensure_ascii=False)
    try:
        text.encode("utf-8")
    except UnicodeEncodeError:
        raise Deviation("surrogate")
    return text


def read_records(path):
    with open(path, "rb") as f:
        data = f.read()
    at = 0
    while at < len(data):
        nl = data.index(b"\n", at)
        n = int(data[at:nl])
        yield data[nl + 1:nl + 1 + n]
        at = nl + 1 + n


def unlimited_shape(text):
    # Read again without the codec's limits: the number hooks run before the
    # rest of the document is checked, and a lone number is refused for
    # being alone before its size matters.
    try:
        value = json.loads(text, parse_float=str, parse_int=str, parse_constant=str)
    except (ValueError, RecursionError):
        return "invalid"
    return "container" if isinstance(value, (dict, list)) else "scalar"


def check(inp, out):
    with open(out, "w", encoding="utf-8") as f:
        for doc in read_records(inp):
            try:
                text = doc.decode("utf-8")
                value = json.loads(text, parse_int=parse_int, parse_float=parse_float,
                                   parse_constant=parse_constant)
                if not isinstance(value, (dict, list)):
                    raise Deviation("scalar")
                f.write("OK " + canonical(value) + "\n")
            except Deviation as d:
                shape = unlimited_shape(text)
                if shape == "invalid":
                    f.write("ERR\n")
                else:
                    reason = str(d)
                    if shape == "scalar" and reason != "nonfinite":
                        reason = "scalar"
                    f.write("DEV " + reason + "\n")
            except (ValueError, RecursionError):
                f.write("ERR\n")


def random_text(rng):
    pools = ["abc xyz", "家校通知消息作业", "\"\\/\b\f\n\r\t\x00\x1f\x7f", "😀🎉𠀀", "é\u2028\uffff"]
    return "".join(rng.choice(rng.choice(pools)) for _ in range(rng.randint(0, 12)))


def random_value(rng, depth):
    kind = rng.randint(0, 9 if depth < 6 else 6)
    if kind == 0:
        return None
    if kind == 1:
        return rng.choice([True, False])
    if kind == 2:
        return rng.choice([0, -1, 2**63 - 1, -2**63, 2**63, 2**64 - 1, 2**64, 10**37, -10**38 + 1]) + rng.randint(-3, 3)
    if kind == 3:
        return rng.randint(-10**6, 10**6)
    if kind == 4:
        return rng.choice([0.5, 0.1, -2.25, 1e-5, 123456.789, 1.5e100, -3e-100])
    if kind in (5, 6):
        return random_text(rng)
    if kind in (7, 8):
        return [random_value(rng, depth + 1) for _ in range(rng.randint(0, 4))]
    return {random_text(rng): random_value(rng, depth + 1) for _ in range(rng.randint(0, 4))}


def write(out, seed):
    rng = random.Random(seed)
    with open(out, "wb") as f:
        for i in range(1000):
            value = random_value(rng, 0)
            if not isinstance(value, (dict, list)):
                value = [value]
            text = json.dumps(value, ensure_ascii=bool(i % 2), indent=(2 if i % 3 == 0 else None),
                              sort_keys=(i % 5 == 0))
            data = text.encode("utf-8")
            f.write(b"%d\n" % len(data) + data)


if __name__ == "__main__":
    if sys.argv[1] == "check":
        check(sys.argv[2], sys.argv[3])
    else:
        write(sys.argv[2], int(sys.argv[3]))
