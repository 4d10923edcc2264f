# Sourced by train.sh and eval.sh: the Festival voices, as "function phone-set language charset",
# and which of them train, stop the training (held out) and measure it (held out, never tuned on).
festival_train=(
    "voice_ked_diphone english en ascii"
    "voice_czech_dita czech cs iso-8859-2"
    "voice_czech_machac czech cs iso-8859-2"
    "voice_suo_fi_lj_diphone finnish fi iso-8859-1"
    "voice_lp_diphone italian it iso-8859-1"
    "voice_hindi_NSK_diphone indic hi utf-8"
    "voice_marathi_NSK_diphone indic mr utf-8"
    "voice_upc_ca_ona_hts catalan ca iso-8859-1"
)
festival_dev=(
    "voice_czech_ph czech cs iso-8859-2"
    "voice_hy_fi_mv_diphone finnish fi iso-8859-1"
)
# Telugu is a language no training voice speaks.
festival_test=(
    "voice_czech_krb czech cs iso-8859-2"
    "voice_pc_diphone italian it iso-8859-1"
    "voice_telugu_NSK_diphone indic te utf-8"
)
# The real speaker's clips (lj_labels.txt, aligned from their transcripts by label_real.sh) as
# "id runs": SET train or test. A seventh of the transcripts' clips (every seventh id) is the test
# set, kept out of training and tuning; clips whose alignment agreed badly (under -0.85, about the
# worst tenth, or more than a tenth of the transcript's words not found: a retake, a slip) are in
# neither.
real_clips() {
    local set=$1
    awk -v set="$set" -v ids="$real/transcripts.tsv" '
        BEGIN { while ((getline line < ids) > 0) if (n++ > 0) { split(line, f, "\t"); test[f[1]] = (n - 1) % 7 == 1 } }
        /^#/ { next }
        { split($3, fw, "/"); if ($2 < -0.85 || fw[1] < 0.9 * fw[2]) next
          if (test[$1] == (set == "test")) { $2 = ""; $3 = ""; print } }' "$here/lj_labels.txt" |
        sed 's/  */ /g'
}
# A clip's runs as labels: "start end mouth -" per run, in ms.
real_lab() {
    awk '{ t = 0; for (i = 1; i <= NF; i++) { n = substr($i, 2) + 0; printf "%d %d %s -\n", t, t + 10 * n, substr($i, 1, 1); t += 10 * n } }' <<< "$1"
}
