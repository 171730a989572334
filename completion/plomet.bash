# Bash completion for plomet: the options, the values of --date-order and
# --kind and --order, file names for the listing (or for the log after
# --calibrate or --rates-from=, the reports and their folders after --plan)
# and the page of --html, and folders after --measure= and --from=.
#
# It needs nothing but bash: source it from ~/.bashrc, or let the
# bash-completion package load it on first use from its completions directory
# (/usr/share/bash-completion/completions/plomet).

_plomet_long_options='--help --version --strict --calibrate --json --gap= --top= --depth=
  --window= --since= --date-order= --rates-from= --session-gap= --html= --kind= --client= --plan
  --sessions= --bandwidth= --order='
# The measurement of a target, and its folders.
_plomet_long_options+=' --measure= --from= --measure-seconds='

# Sets _plomet_words to the words up to the cursor as plomet reads them. Bash
# splits COMP_WORDS at the characters in COMP_WORDBREAKS, so --date-order=dmy
# arrives as three words; pieces with no blank between them are joined again.
# The last word ends at the cursor.
_plomet_join_words() {
  local line=${COMP_LINE:0:COMP_POINT} rest i n=-1
  _plomet_words=()
  for ((i = 0; i <= COMP_CWORD; i++)); do
    rest=${line#"${line%%[![:space:]]*}"}
    if ((n < 0)) || [[ ${#rest} -lt ${#line} ]]; then
      n=$((n + 1))
      _plomet_words[n]=''
    fi
    if ((i == COMP_CWORD)); then
      _plomet_words[n]+=$rest
      break
    fi
    _plomet_words[n]+=${COMP_WORDS[i]}
    line=${rest#"${COMP_WORDS[i]}"}
  done
}

_plomet() {
  COMPREPLY=()
  local _plomet_words
  _plomet_join_words
  local n=$((${#_plomet_words[@]} - 1))
  ((n > 0)) || return 0
  local cur=${_plomet_words[n]} word positional=0 ended=0 calibrate=0 plan=0

  # Long options may stand anywhere; "--" ends them. Every other word is a
  # positional argument: the option (-d, /LV, ...), the listing, four rates.
  for word in "${_plomet_words[@]:1:n-1}"; do
    if ((ended)); then
      positional=$((positional + 1))
    elif [[ $word == -- ]]; then
      ended=1
    elif [[ $word == --* ]]; then
      [[ $word == --calibrate ]] && calibrate=1
      [[ $word == --plan ]] && plan=1
    else
      positional=$((positional + 1))
    fi
  done

  local files=0 candidates=()
  if ((!ended)) && [[ $cur == --*=* ]]; then
    case ${cur%%=*} in
      --date-order) mapfile -t candidates < <(compgen -P --date-order= -W 'mdy dmy ymd' -- "${cur#*=}") ;;
      --kind) mapfile -t candidates < <(compgen -P --kind= -W 'dir ls robocopy csv rsync find log' -- "${cur#*=}") ;;
      --order) mapfile -t candidates < <(compgen -P --order= -W 'longest shortest' -- "${cur#*=}") ;;
      --rates-from)
        compopt -o filenames 2>/dev/null
        mapfile -t candidates < <(compgen -P --rates-from= -f -- "${cur#*=}")
        ;;
      --html)
        compopt -o filenames 2>/dev/null
        mapfile -t candidates < <(compgen -P --html= -f -- "${cur#*=}")
        ;;
      --measure | --from)
        compopt -o filenames 2>/dev/null
        mapfile -t candidates < <(compgen -P "${cur%%=*}=" -d -- "${cur#*=}")
        ;;
    esac
  elif ((!ended)) && [[ $cur == --* ]]; then
    mapfile -t candidates < <(compgen -W "$_plomet_long_options" -- "$cur")
  elif ((calibrate)); then
    ((positional == 0)) && files=1
  elif ((plan)); then
    files=1  # reports and folders of reports, any number
  elif ((positional == 0)); then
    local options='-d -dv -l -lv'
    ((ended)) || options+=" $_plomet_long_options"
    mapfile -t candidates < <(compgen -W "$options" -- "$cur")
  elif ((positional == 1)); then
    files=1
  fi
  if ((files)); then
    compopt -o filenames 2>/dev/null
    mapfile -t candidates < <(compgen -f -- "$cur")
  fi
  # An option that takes a value is completed up to its "=", where the value
  # follows without a blank.
  if ((${#candidates[@]} == 1)) && [[ ${candidates[0]} == --*= ]]; then
    compopt -o nospace 2>/dev/null
  fi

  # Readline replaces only the text after the last word-break character
  # (such as "=" or ":") in the word: the candidates lose what comes before.
  local keep=0 i
  for ((i = ${#cur} - 1; i >= 0; i--)); do
    if [[ $COMP_WORDBREAKS == *"${cur:i:1}"* ]]; then
      keep=$((i + 1))
      break
    fi
  done
  for word in "${candidates[@]}"; do
    COMPREPLY+=("${word:keep}")
  done
  return 0
}

complete -F _plomet plomet
