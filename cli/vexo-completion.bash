# bash completion for vexo: the commands, the options each one takes, and the
# files it reads (file: every name but the refused kinds; eval: .tsv files).

_vexo() {
  local cur prev words cword split
  _init_completion -s || return

  local globals="--no-guard --no-cyrillic --ascii --tutuq= -j"
  local command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --no-guard | --no-cyrillic | --ascii | --tutuq=* | -j?*) ;;
      -j) ((i++)) ;;
      *) command=${words[i]} && break ;;
    esac
  done

  local options=$globals
  case $command in
    "")
      options="convert old cyr explain diff eval file help --help -h --version -V $globals"
      ;;
    file)
      if [[ $prev == -o || $prev == --output ]]; then
        _filedir
        return
      fi
      if [[ $cur != -* ]]; then
        _filedir
        local kept=() name
        for name in "${COMPREPLY[@]}"; do
          [[ ! -d $name && ${name,,} == *.@(doc|xls|pdf|rtf|ppt) ]] ||
            kept+=("$name")
        done
        COMPREPLY=("${kept[@]}")
        return
      fi
      options="-o --output= --old --dry-run -n --in-place --help -h -- $globals"
      ;;
    eval)
      if [[ $cur != -* ]]; then
        _filedir tsv
        return
      fi
      options="--typing $globals"
      ;;
    diff) options="--old $globals" ;;
  esac
  [[ $cur == -* || -z $command ]] || return
  COMPREPLY=($(compgen -W "$options" -- "$cur"))
  [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
}
complete -F _vexo vexo
