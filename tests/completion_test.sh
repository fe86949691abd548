#!/usr/bin/env bash
# The bash completion of vexo offers the commands, each command's options and
# the files it can read. Skipped (77) without the bash-completion package.
set -u
completion=$1
[ -f /usr/share/bash-completion/bash_completion ] || exit 77
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1090
source "$completion"
compopt() { :; }  # only valid inside a real completion
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch a.docx B.XLSX c.txt notes old.doc slides.PPTX tests.tsv
mkdir sub

failures=0
# expect "COMMAND LINE" "WORDS THAT MUST BE OFFERED" "WORDS THAT MUST NOT"
expect() {
  local line=$1 want=$2 refuse=${3-} word
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _vexo vexo "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  local offered=" ${COMPREPLY[*]-} "
  for word in $want; do
    [[ $offered == *" $word "* ]] || { echo "'$line': $word missing from:$offered"; failures=$((failures + 1)); }
  done
  for word in $refuse; do
    [[ $offered != *" $word "* ]] || { echo "'$line': $word offered:$offered"; failures=$((failures + 1)); }
  done
}

expect "vexo " "convert old cyr explain diff eval file --version -V --help --no-guard --tutuq="
expect "vexo --no-guard fi" "file"
expect "vexo --ascii old --" "--ascii --no-cyrillic" "--old --dry-run"
expect "vexo file " "a.docx B.XLSX c.txt notes tests.tsv sub" "old.doc slides.PPTX"
expect "vexo file --" "--dry-run --in-place --old --output= --no-guard" "--version"
expect "vexo file a.docx -o " "old.doc a.docx"
expect "vexo diff --" "--old --tutuq=" "--dry-run"
expect "vexo eval " "tests.tsv sub" "c.txt a.docx"
expect "vexo shahar " "" "a.docx file"
exit $((failures > 0))
