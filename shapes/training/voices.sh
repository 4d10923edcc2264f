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
