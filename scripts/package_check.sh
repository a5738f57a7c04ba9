# Sourced by lib.sh. check_packages [ROOT]: every program the CMake files of
# ROOT run (each find_program, each compiler and loader of the toolchain
# files) must come from a package of PACKAGES, or from an essential one, so
# that a fresh machine gets it. Names the program and its package otherwise.

# The programs, one line each, the alternatives of one find_program(... NAMES
# a b) on one line. Triplet variables stand for every triplet the files name.
cmake_programs() {
  local root=$1 files text triplet line
  mapfile -t files < <(find "$root" \( -path "$root/build" -o -name .git \) -prune -o \
    \( -name CMakeLists.txt -o -name '*.cmake' \) -print)
  text=$(cat "${files[@]}" | sed 's/#.*//' | tr '\n\t' '  ' | tr -s ' ')
  {
    grep -o 'find_program([^)]*)' <<<"$text" | sed 's/^find_program( *//; s/ *)$//' |
      awk '{ if ($2 != "NAMES") { print $2; next }
             out = ""; for (i = 3; i <= NF && $i !~ /^[A-Z_]+$/; i++) out = out " " $i
             print substr(out, 2) }'
    grep -o 'set( *\(CMAKE_[A-Z]*_COMPILER\|WINE_LOADER\) [^ )]*' <<<"$text" | awk '{print $2}'
  } | sort -u | while read -r line; do
    [ -n "$line" ] || continue
    if [[ "$line" == *'TRIPLET}'* ]]; then
      for triplet in $(grep -o 'set( *[A-Z_]*TRIPLET [^ )$]*' <<<"$text" | awk '{print $2}' | sort -u); do
        sed "s/\${[A-Z_]*TRIPLET}/$triplet/g" <<<"$line"
      done
    else
      echo "$line"
    fi
  done
}

# The path and every link it leads through (alternatives are links), each also
# under /bin, /sbin or /lib as well, where a merged /usr puts what a package
# ships there.
link_chain() {
  local path=$1 next hops=0
  while [ -n "$path" ] && [ $hops -lt 20 ]; do
    echo "$path"
    case "$path" in /usr/bin/* | /usr/sbin/* | /usr/lib/*) echo "${path#/usr}" ;; esac
    next=$(readlink "$path") || break
    [[ "$next" == /* ]] || next="$(dirname "$path")/$next"
    path=$next hops=$((hops + 1))
  done
}

check_packages() {
  local root=${1:-$ROOT} programs=() line name found path owners pkg p
  local -A chain_of owner_of listed
  local faults=()
  for p in "${PACKAGES[@]}"; do listed[$p]=1 listed[${p%%:*}]=1; done
  mapfile -t programs < <(cmake_programs "$root")
  for line in "${programs[@]}"; do
    found=""
    for name in $line; do
      if [[ "$name" == *'${'* ]]; then faults+=("$name: a variable this check cannot resolve"); continue 2; fi
      found=$(command -v "$name" 2>/dev/null) && break
    done
    if [ -z "$found" ]; then
      faults+=("${line// / or }: not found, so no package of the list installs it")
      continue
    fi
    chain_of[$name]=$(link_chain "$found")
  done
  # One query for all the paths: dpkg answers "pkg[, pkg]: path".
  while IFS= read -r p; do
    [[ "$p" == diversion* ]] && continue
    owner_of[${p#*: }]=${p%%: *}
  done < <(printf '%s\n' "${chain_of[@]}" | sort -u | xargs -r dpkg-query -S 2>/dev/null)
  for name in "${!chain_of[@]}"; do
    owners=()
    while IFS= read -r path; do
      [ -n "${owner_of[$path]:-}" ] && owners+=(${owner_of[$path]//,/ })
    done <<<"${chain_of[$name]}"
    if [ ${#owners[@]} -eq 0 ]; then
      faults+=("$name ($(head -1 <<<"${chain_of[$name]}")): no package provides it")
      continue
    fi
    for pkg in "${owners[@]}"; do
      [ -n "${listed[$pkg]:-}" ] || [ -n "${listed[${pkg%%:*}]:-}" ] && continue 2
      [ "$(dpkg-query -W -f='${Essential}' "$pkg" 2>/dev/null)" = yes ] && continue 2
    done
    faults+=("$name: provided by ${owners[0]}, which PACKAGES does not list")
  done
  [ ${#faults[@]} -eq 0 ] && return 0
  echo "The install list (PACKAGES in scripts/lib.sh) misses what the build runs:" >&2
  printf '  %s\n' "${faults[@]}" | sort >&2
  return 1
}
