#!/usr/bin/env bash
# Makes synthetic speech for the speech input's tests and measurements: the
# command words of a word list spoken by espeak-ng in several voices (male and
# female) and speeds, with pauses between them and background noise mixed in
# by sox. Nothing is downloaded; the same seed gives the same files.
#
#   make-test-speech.sh commands OUT.wav WORDLIST [options]
#       Speaks the list's words in turn and writes OUT.wav (16 kHz mono
#       16-bit) and OUT.labels, one line per spoken word:
#           START END WORD VOICE SPEED     (START and END in samples)
#       Options:
#         --voices "de de+f2 ..."   espeak-ng voices (default by --lang)
#         --lang de|en              default voices: German or English
#         --speeds "120 170 220"    words a minute (default 120 145 170 195 220)
#         --rounds N                times through the list per voice and speed (1)
#         --noise LEVEL             pink noise amplitude 0..1 (default 0.01; 0 = none)
#         --seed N                  pause lengths (default 1)
#   make-test-speech.sh talk OUT.wav SECONDS [--lang de|en] [--noise LEVEL]
#                       [--text 1|2] [--voices "..."]
#       Speech that holds no command word, in several voices, SECONDS long.
#       --text picks one of two passages (2 is kept apart for measuring what
#       was tuned on 1).
#   make-test-speech.sh noise OUT.wav SECONDS [--kind pink|white|brown|hum]
#       Background noise alone.
set -euo pipefail

die() { echo "make-test-speech.sh: $*" >&2; exit 2; }
command -v espeak-ng >/dev/null || die "espeak-ng is missing (scripts/install-deps.sh)"
command -v sox >/dev/null || die "sox is missing (scripts/install-deps.sh)"

(($# >= 3)) || die "usage: make-test-speech.sh commands|talk|noise OUT.wav ARG [options]"
mode=$1 out=$2 arg=$3
shift 3
lang=de voices="" speeds="120 145 170 195 220" rounds=1 noise=0.01 seed=1 kind=pink textset=1
while (($#)); do
    case $1 in
        --voices) voices=$2; shift 2 ;;
        --lang) lang=$2; shift 2 ;;
        --speeds) speeds=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --noise) noise=$2; shift 2 ;;
        --seed) seed=$2; shift 2 ;;
        --kind) kind=$2; shift 2 ;;
        --text) textset=$2; shift 2 ;;
        *) die "unknown option $1" ;;
    esac
done
given_voices=$voices
if [[ -z $voices ]]; then
    case $lang in
        de) voices="de de+f2 de+m3 de+f4" ;;
        en) voices="en-us en-us+f2 en-gb+m3 en-gb+f4" ;;
        *) die "--lang must be de or en" ;;
    esac
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fmt=(-r 16000 -c 1 -b 16 -e signed-integer)

# One piece of speech, trimmed of the silence espeak-ng puts around it.
speak() {  # voice speed text outfile
    espeak-ng -v "$1" -s "$2" -w "$work/raw.wav" "$3"
    sox "$work/raw.wav" "${fmt[@]}" "$4" silence 1 0.005 0.3% reverse silence 1 0.005 0.3% reverse
}
silence() {  # seconds outfile
    sox -n "${fmt[@]}" "$2" trim 0 "$1"
}
samples() { soxi -s "$1"; }

# Mixes noise under the speech (same length) unless the level is 0.
finish() {  # speech.wav out.wav
    if [[ $noise == 0 || $noise == 0.0 ]]; then
        sox "$1" "${fmt[@]}" "$2"
    else
        local seconds
        seconds=$(soxi -D "$1")
        sox -R -n "${fmt[@]}" "$work/noise.wav" synth "$seconds" "${kind}noise" vol "$noise"
        sox -m -v 1 "$1" -v 1 "$work/noise.wav" "${fmt[@]}" "$2"
    fi
}

case $mode in
commands)
    mapfile -t words < <(sed -e 's/#.*//' "$arg" | awk 'NF >= 2 { print $1 }')
    ((${#words[@]})) || die "no words in $arg"
    RANDOM=$seed
    : >"$work/list"
    labels="${out%.wav}.labels"
    : >"$labels"
    position=0 n=0
    silence 0.8 "$work/p$n.wav"
    echo "$work/p$n.wav" >>"$work/list"
    position=$((position + $(samples "$work/p$n.wav")))
    for ((round = 0; round < rounds; round++)); do
        for voice in $voices; do
            for speed in $speeds; do
                for word in "${words[@]}"; do
                    n=$((n + 1))
                    speak "$voice" "$speed" "$word" "$work/w$n.wav"
                    length=$(samples "$work/w$n.wav")
                    echo "$position $((position + length)) $word $voice $speed" >>"$labels"
                    position=$((position + length))
                    # Pauses of 0.7 to 1.6 s between commands.
                    pause=$((700 + RANDOM % 900))
                    silence "$((pause / 1000)).$(printf %03d $((pause % 1000)))" "$work/p$n.wav"
                    position=$((position + $(samples "$work/p$n.wav")))
                    printf '%s\n%s\n' "$work/w$n.wav" "$work/p$n.wav" >>"$work/list"
                done
            done
        done
    done
    # sox joins the pieces in order, in chunks of 400 files.
    mapfile -t pieces <"$work/list"
    : >"$work/parts"
    for ((i = 0; i < ${#pieces[@]}; i += 400)); do
        sox "${pieces[@]:i:400}" "${fmt[@]}" "$work/chunk$i.wav"
        echo "$work/chunk$i.wav" >>"$work/parts"
    done
    mapfile -t parts <"$work/parts"
    if ((${#parts[@]} == 1)); then cp "${parts[0]}" "$work/speech.wav"; else sox "${parts[@]}" "$work/speech.wav"; fi
    finish "$work/speech.wav" "$out"
    ;;
talk)
    # Everyday sentences without any command word of the shipped lists.
    if [[ $lang == de ]]; then
        text="Heute Morgen war das Wetter schön, und wir sind mit dem Fahrrad zur Schule gefahren.
Im Unterricht haben wir ein Modell aus Bausteinen gebaut, mit Zahnrädern und einer Kurbel.
Die Lehrerin hat erklärt, wie ein Getriebe funktioniert und warum das kleine Rad öfter dreht.
Nach der Pause haben wir Bilder gemalt und ein Lied gesungen.
Am Nachmittag gehen wir in den Garten, dort wachsen Tomaten, Bohnen und Kartoffeln.
Mein Bruder liest gern Bücher über Tiere, besonders über Vögel und Fische.
Wir essen heute Abend Suppe mit Brot, und danach spielen wir noch eine Runde Karten.
Der Zug nach Hamburg hat zehn Minuten Verspätung, bitte haben Sie etwas Geduld.
Das Museum ist am Montag geschlossen, aber am Dienstag öffnet es um neun Uhr.
Im Herbst fallen die Blätter von den Bäumen, und die Tage werden kürzer."
        text2="Gestern Abend hat es lange geregnet, deshalb ist der Weg zum Bahnhof noch nass.
Meine Schwester backt am Wochenende einen Kuchen mit Äpfeln und Zimt.
In der Bibliothek gibt es neue Bücher über Planeten, Sterne und den Mond.
Der Hund des Nachbarn bellt jeden Morgen, wenn der Briefträger kommt.
Wir haben im Werkraum eine kleine Brücke aus Holz und Schrauben gebaut.
Das Konzert beginnt um acht Uhr, die Karten liegen an der Kasse bereit.
Im Winter fahren wir in die Berge, dort liegt oft meterhoch Schnee.
Die Kinder malen ein großes Bild vom Hafen mit Schiffen und Möwen.
Oma erzählt gern Geschichten aus ihrer Jugend auf dem Bauernhof.
Bitte schließen Sie das Fenster, es zieht, und die Heizung ist aus."
        talkvoices="de de+f2 de+m3 de+f4 de+m7 de+f1"
    else
        text="This morning the weather was fine, so we cycled to school together.
In class we built a model from bricks with gears, a crank and a small wheel.
The teacher explained how a gearbox works and why the little wheel turns more often.
After the break we painted pictures and sang a song about the sea.
In the afternoon we work in the garden, where tomatoes, beans and potatoes grow.
My brother likes reading books about animals, especially birds and fish.
Tonight we are having soup with bread, and then we will play a round of cards.
The train to the city is ten minutes late, please be patient.
The museum is closed on Monday, but on Tuesday it opens at nine.
In autumn the leaves fall from the trees and the days become shorter."
        text2="Yesterday evening it rained for hours, so the path to the station is still wet.
My sister bakes a cake with apples and cinnamon at the weekend.
The library has new books about planets, moons and distant stars.
The dog next door barks every morning when the postman comes.
In the workshop we built a small bridge from wood and screws.
The concert begins at eight, and the tickets are waiting at the desk.
In winter we go to the mountains, where the snow is often very deep.
The children paint a big picture of the harbour with ships and gulls.
Grandma likes telling stories about her youth on the farm.
Please close the window, there is a draught and the heating is off."
        talkvoices="en-us en-us+f2 en-gb+m3 en-gb+f4 en-us+m7 en-us+f1"
    fi
    [[ $textset == 2 ]] && text=$text2
    [[ -n $given_voices ]] && talkvoices=$given_voices
    : >"$work/list"
    total=0 n=0
    target=$((arg * 16000))
    while ((total < target)); do
        for voice in $talkvoices; do
            for speed in $speeds; do
                n=$((n + 1))
                speak "$voice" "$speed" "$text" "$work/t$n.wav"
                silence 0.5 "$work/s$n.wav"
                printf '%s\n%s\n' "$work/t$n.wav" "$work/s$n.wav" >>"$work/list"
                total=$((total + $(samples "$work/t$n.wav") + 8000))
                ((total < target)) || break 2
            done
        done
    done
    mapfile -t pieces <"$work/list"
    sox "${pieces[@]}" "${fmt[@]}" "$work/speech.wav" trim 0 "$arg"
    finish "$work/speech.wav" "$out"
    ;;
noise)
    case $kind in
        pink | white | brown)
            sox -R -n "${fmt[@]}" "$out" synth "$arg" "${kind}noise" vol 0.05 ;;
        hum)  # mains hum with its harmonics and a little hiss
            sox -R -n "${fmt[@]}" "$out" synth "$arg" sine 50 sine 150 sine 250 pinknoise \
                remix - vol 0.1 ;;
        *) die "--kind must be pink, white, brown or hum" ;;
    esac
    ;;
*) die "unknown mode $mode (commands, talk or noise)" ;;
esac
