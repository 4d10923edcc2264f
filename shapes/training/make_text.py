#!/usr/bin/python3
"""Writes pseudo-sentences in a language's own spelling, for espeak-ng to read by that
language's rules: words made of onsets, vowels and codas drawn at random, so every sound of the
language comes out in many neighbourhoods without any corpus. Usage: make_text.py LANG SEED LINES"""
import random
import sys

# onsets | vowels | codas, each space-separated; '-' is an empty coda.
LANGS = {
    "en": ("b p m f v w l t d k g s z n r h th sh ch j y bl pl fl pr br st sp tr kr sm",
           "a e i o u ee oo ay oh ou ow ar er ir aw oy ea",
           "- - - n t d s m l p b k f v ng st nd mp ft ck"),
    "de": ("b p m f v w l t d k g s z n r h sch ch j pf bl pl fl br st sp tr kr",
           "a e i o u ä ö ü ei au eu ie aa oo ah eh",
           "- - - n t s m l p b k f ch ng st nd mpf lt rt"),
    "fr": ("b p m f v l t d k g s z n r ch j gn pl bl fl pr br tr cr",
           "a e i o u é è ou oi au eau an on in eu ai",
           "- - - - - n t s m l r que ble pe ve"),
    "es": ("b p m f v l t d c g s n r ll ch j ñ pl bl fl pr br tr cr",
           "a e i o u a e o ia ie ue au ei",
           "- - - - n s l r d z m"),
    "it": ("b p m f v l t d c g s z n r gl ch pl bl fl pr br tr st sp",
           "a e i o u a e o ia ie uo",
           "- - - - - - n l r s m"),
    "pt": ("b p m f v l t d c g s z n r lh nh ch j pl bl fl pr br tr",
           "a e i o u ã õ ão ei ou ai é ó",
           "- - - - s r l m n"),
    "pl": ("b p m f w l ł t d k g s z n r sz cz rz ż ch j dz pl bl pr br tr kr st",
           "a e i o u y ą ę ó ie ia",
           "- - - - n ć ś m l k p t sz cz ł"),
    "ru": ("б п м ф в л т д к г с з н р ш ж ч щ х й пл бл пр бр тр кр ст",
           "а е и о у ы я ю э ё",
           "- - - - н т с м л п б к ф в й"),
    "nl": ("b p m f v w l t d k g s z n r h j sch bl pl fl pr br st sp tr kr",
           "a e i o u aa ee oo uu ie oe ui ij ei eu ou au",
           "- - - n t s m l p k f ng st nd cht"),
    "sv": ("b p m f v l t d k g s n r h j sj tj sk bl pl fl pr br st sp tr kr",
           "a e i o u y å ä ö",
           "- - - n t s m l p k g ng st nd ck"),
    "fi": ("p m v l t d k s n r h j",
           "a e i o u y ä ö aa ee ii oo uu ai ei oi ui au ou",
           "- - - - n t s l r"),
    "cs": ("b p m f v l t d k g s z n r h ch š ž č ř j pl bl pr br tr kr st",
           "a e i o u y á é í ó ú ů ě ou",
           "- - - - n t s m l p k ch š ť"),
    "tr": ("b p m f v l t d k g s z n r h ş ç c j y",
           "a e i o u ı ö ü",
           "- - - n t s m l r k p ş y"),
    "hi": ("क ख ग घ च ज ट ड त द न प फ ब भ म य र ल व स ह श",
           "ा ि ी ु ू े ै ो ौ - - -",
           "- - - - - - न म ं"),
    "mr": ("क ख ग घ च ज ट ड त द न प फ ब भ म य र ल व स ह श ळ",
           "ा ि ी ु ू े ै ो ौ - - -",
           "- - - - - - न म ं"),
    "te": ("క ఖ గ చ జ ట డ త ద న ప ఫ బ భ మ య ర ల వ స హ శ ళ",
           "ా ి ీ ు ూ ె ే ై ొ ో ౌ - -",
           "- - - - - ం"),
    "ca": ("b p m f v l t d c g s z n r ll ny x j qu pl bl pr br tr cr",
           "a e i o u à è é í ò ó ú ai ei oi au eu",
           "- - - - n t s l r m"),
    "hu": ("b p m f v l t d k g s z n r h j sz zs cs gy ny ty",
           "a e i o u á é í ó ú ö ü ő ű",
           "- - - n t s m l k r sz gy"),
}


def word(rng, onsets, vowels, codas, syllables):
    parts = []
    for _ in range(syllables):
        v = rng.choice(vowels)
        parts.append(rng.choice(onsets) + ("" if v == "-" else v))
    coda = rng.choice(codas)
    return "".join(parts) + ("" if coda == "-" else coda)


def main():
    lang, seed, lines = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    onsets, vowels, codas = (s.split() for s in LANGS[lang])
    rng = random.Random(seed * 1000 + sum(map(ord, lang)))
    for _ in range(lines):
        words = [word(rng, onsets, vowels, codas, rng.choice([1, 2, 2, 3]))
                 for _ in range(rng.randint(3, 9))]
        mark = rng.choice([".", ".", "?", "!", ","])
        # A comma in the middle now and then, for the short pauses of real speech.
        if len(words) > 5 and rng.random() < 0.5:
            words[rng.randint(1, len(words) - 2)] += ","
        print(" ".join(words).capitalize() + mark)


if __name__ == "__main__":
    main()
