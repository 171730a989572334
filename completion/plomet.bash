# Bash completion for plomet: the options, the values of --date-order,
# --kind and --order, file names for the listing (or for the log after
# --calibrate or --rates-from, the reports and their folders after --plan),
# the page of --html and the listing of --list, and folders for the scan's
# paths after -s and after --measure and --from. A value may follow its
# option after "=" or a blank.
#
# It needs nothing but bash: source it from ~/.bashrc, or let the
# bash-completion package load it on first use from its completions directory
# (/usr/share/bash-completion/completions/plomet).

_plomet_long_options='--help --version --strict --calibrate --json --gap= --top= --depth=
  --window= --since= --date-order= --rates-from= --session-gap= --html= --threads=
  --one-file-system --list= --exclude= --human --kind= --client= --plan --sessions=
  --bandwidth= --order='
# The measurement of a target, and its folders.
_plomet_long_options+=' --measure= --from= --measure-seconds='

# Returns 0 when the long option $1 (without a value) takes one.
_plomet_takes_value() {
  [[ " $_plomet_long_options " == *[[:space:]]"$1="[[:space:]]* ]]
}

# Sets candidates to the values of option $1 that begin with $2, each after
# the prefix $3 ("--html=" when the value follows an "=", "" after a blank).
_plomet_values() {
  case $1 in
    --date-order) mapfile -t candidates < <(compgen -P "$3" -W 'mdy dmy ymd' -- "$2") ;;
    --kind) mapfile -t candidates < <(compgen -P "$3" -W 'dir ls robocopy csv rsync find log ncdu lsjson rclone s3 mc gsutil azcopy tar dwalk' -- "$2") ;;
    --order) mapfile -t candidates < <(compgen -P "$3" -W 'longest shortest' -- "$2") ;;
    --measure | --from)
      compopt -o filenames 2>/dev/null
      mapfile -t candidates < <(compgen -P "$3" -d -- "$2")
      ;;
    --rates-from | --html | --list)
      compopt -o filenames 2>/dev/null
      mapfile -t candidates < <(compgen -P "$3" -f -- "$2")
      ;;
  esac
}

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
  local cur=${_plomet_words[n]} word positional=0 ended=0 calibrate=0 plan=0 scan=0 pending=''

  # Long options may stand anywhere; "--" ends them. Every other word is a
  # positional argument: the option (-d, /LV, -s, ...), the listing or the
  # scan's paths, four rates; or the value of the option before it, when
  # that takes one and it came without "=" (a word that begins with two
  # dashes is never a value).
  for word in "${_plomet_words[@]:1:n-1}"; do
    if [[ -n $pending && $word != --* ]]; then
      pending=''
      continue
    fi
    pending=''
    if ((ended)); then
      positional=$((positional + 1))
    elif [[ $word == -- ]]; then
      ended=1
    elif [[ $word == --* ]]; then
      [[ $word == --calibrate ]] && calibrate=1
      [[ $word == --plan ]] && plan=1
      [[ $word != *=* ]] && _plomet_takes_value "$word" && pending=$word
      continue
    else
      positional=$((positional + 1))
    fi
    ((positional == 1)) && [[ ${word,,} == [-/]s || ${word,,} == [-/]sv ]] && scan=1
  done

  local files=0 folders=0 candidates=()
  if ((!ended)) && [[ -n $pending && $cur != --* ]]; then
    _plomet_values "$pending" "$cur" ''
  elif ((!ended)) && [[ $cur == --*=* ]]; then
    _plomet_values "${cur%%=*}" "${cur#*=}" "${cur%%=*}="
  elif ((!ended)) && [[ $cur == --* ]]; then
    mapfile -t candidates < <(compgen -W "$_plomet_long_options" -- "$cur")
  elif ((calibrate)); then
    ((positional == 0)) && files=1
  elif ((plan)); then
    files=1  # reports and folders of reports, any number
  elif ((positional == 0)); then
    local options='-d -dv -l -lv -s -sv'
    ((ended)) || options+=" $_plomet_long_options"
    mapfile -t candidates < <(compgen -W "$options" -- "$cur")
  elif ((scan)); then
    folders=1
  elif ((positional == 1)); then
    files=1
  fi
  if ((files)); then
    compopt -o filenames 2>/dev/null
    mapfile -t candidates < <(compgen -f -- "$cur")
  elif ((folders)); then
    compopt -o filenames 2>/dev/null
    mapfile -t candidates < <(compgen -d -- "$cur")
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
