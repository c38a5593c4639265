#!/usr/bin/env bash
# The bash completion as bash runs it: the script sourced into a plain
# shell, the words of a half-typed command line in COMP_WORDS, the function
# called, its answer read from COMPREPLY. ombrel itself (first on PATH)
# lists the options and the model's animations.
#   completion_test.sh BIN_DIR COMPLETION_SCRIPT CORPUS_DIR
set -euo pipefail
bin=$1 script=$2 corpus=$3
model=$corpus/faerie.md2
status=0

# complete CWORD WORD... : the sorted answers, one line, for the cursor on
# word CWORD.
complete() {
  PATH=$bin:$PATH bash --norc --noprofile -c '
    source "$1" || exit 1
    COMP_CWORD=$2
    shift 2
    COMP_WORDS=("$@")
    _ombrel
    printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd " " -' complete "$script" "$@"
}
expect() {
  local want=$1 got
  shift
  got=$(complete "$@")
  if [ "$got" != "$want" ]; then
    echo "FAIL: ${*:2} (cursor on word $1): got \"$got\", want \"$want\"" >&2
    status=1
  fi
}

expect "render" 1 ombrel ren
expect "thumbnail" 1 ombrel th
expect "--transparent --triangles" 2 ombrel render --tr
expect "--json" 2 ombrel info --j
expect "--jobs" 2 ombrel gallery --jo
expect "" 3 ombrel thumbnail --jobs ""
expect "smooth" 2 ombrel --mode s
# The model's own animations, whether the model comes before or after.
expect "crattak crdeath crpain crstnd crwalk" 3 ombrel "$model" --animation cr
expect "death1 death2 death3" 3 ombrel render --animation de "$model" -o out.gif
expect "salute stand" 4 ombrel "$model" --animation = s
# A file where a file is wanted; nothing for a number.
expect "$corpus/faerie.pcx" 2 ombrel --skin "$corpus/faerie.p"
expect "" 2 ombrel --fps ""
# convert: the subcommand, its options, the choices of --box, a picture for --skin.
expect "convert" 1 ombrel conv
expect "--rate" 2 ombrel convert --ra
expect "--skin --skin-name" 2 ombrel convert --skin
expect "frame" 3 ombrel convert --box f
expect "$corpus/faerie.pcx" 3 ombrel convert --skin "$corpus/faerie.p" "$model"
exit $status
