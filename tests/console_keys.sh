#!/usr/bin/env bash
# Keys typed at a Windows console: encipher.exe and decipher.exe under `wine cmd` in tmux, the
# key sent as keystrokes, must give what the same key given with -k gives.
# Usage: console_keys.sh TOOL_DIR EXAMPLES_DIR
set -euo pipefail
tools=$(cd "$1" && pwd)
# The tools as the console names them: Wine's drive Z: is the root.
windows_tools="Z:$(echo "$tools" | tr / '\\')"
examples=$(cd "$2" && pwd)
command -v tmux > /dev/null || { echo "console_keys: tmux is needed" >&2; exit 1; }
locale -a | grep -qix 'ru_RU.utf-\?8' ||
  { echo "console_keys: the ru_RU.UTF-8 locale is needed (localedef -i ru_RU -f UTF-8 ru_RU.UTF-8)" >&2; exit 1; }

# locale, key
rows=(
  "C.UTF-8 ЗАГАДКА"
  "C.UTF-8 ключ"
  "C.UTF-8 ЁЛКА"
  "C.UTF-8 КотBИK"
  "ru_RU.UTF-8 ЗАГАДКА"
  "ru_RU.UTF-8 ключ"
  "ru_RU.UTF-8 ЁЛКА"
  "ru_RU.UTF-8 КотBИK"
)

work=$(mktemp -d)
session=console-keys-$$
trap 'tmux kill-session -t "$session" 2> /dev/null || true; rm -rf "$work"' EXIT
iconv -f UTF-8 -t WINDOWS-1251 "$examples/plain-utf8.txt" > "$work/Plain.txt"
# What decipher gives back: the letters, lowercase, yo as ye as encipher writes it.
LC_ALL=C tr '\250\270' '\305\345' < "$work/Plain.txt" | LC_ALL=C tr -cd '\300-\377' |
  LC_ALL=C tr '\300-\337' '\340-\377' > "$work/letters.txt"

failures=0
fail() {
  echo "console_keys: $*" >&2
  failures=$((failures + 1))
}

# Waits until the pane shows $1 (a fixed string), at most 60 s.
await_screen() {
  local i
  for ((i = 0; i < 600; i++)); do
    tmux capture-pane -p -t "$session" | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

# Runs a tool's command line at the console, types the key at its prompt and waits for the end.
# Its order line is left in order.txt.
typed_run() {
  local key=$1 command=$2
  rm -f "$work/done.txt"
  tmux send-keys -t "$session" "cls" Enter
  local i
  for ((i = 0; i < 600; i++)); do
    tmux capture-pane -p -t "$session" | grep -qF "Enter key word:" || break
    sleep 0.1
  done
  tmux send-keys -t "$session" "$command & echo ended> done.txt" Enter
  await_screen "Enter key word:" || { fail "no prompt from: $command"; return 1; }
  tmux send-keys -t "$session" -l "$key"
  tmux send-keys -t "$session" Enter
  for ((i = 0; i < 600; i++)); do
    [ -f "$work/done.txt" ] && break
    sleep 0.1
  done
  [ -f "$work/done.txt" ] || { fail "did not end: $command"; return 1; }
  tmux capture-pane -p -t "$session" | grep -o 'INDEX SORT COMPLEATE: .*' | sed 's/ *$//' \
    > "$work/order.txt" || true
}

current_locale=
for row in "${rows[@]}"; do
  read -r locale key <<< "$row"
  if [ "$locale" != "$current_locale" ]; then
    tmux kill-session -t "$session" 2> /dev/null || true
    tmux new-session -d -s "$session" -x 160 -y 40 -c "$work" \
      "env LANG=$locale LC_ALL=$locale wine cmd"
    await_screen '>' || { fail "no console under $locale"; continue; }
    current_locale=$locale
  fi
  # The key given as an argument: what the typed one must match.
  (cd "$work" && LANG=$locale LC_ALL=$locale wine "$tools/encipher.exe" -k "$key" \
    Plain.txt expected.txt < /dev/null | tr -d '\r' | sed 's/ *$//' > expected_order.txt)
  rm -f "$work/Crypt.txt" "$work/Decrypt.txt"
  if typed_run "$key" "$windows_tools\\encipher.exe"; then
    cmp -s "$work/Crypt.txt" "$work/expected.txt" ||
      fail "$locale, $key: encipher.exe's Crypt.txt is not the one -k gives"
    grep -qxFf "$work/order.txt" "$work/expected_order.txt" ||
      fail "$locale, $key: encipher.exe's order line: $(cat "$work/order.txt")"
  fi
  cp "$work/expected.txt" "$work/Crypt.txt"
  if typed_run "$key" "$windows_tools\\decipher.exe"; then
    cmp -s "$work/Decrypt.txt" "$work/letters.txt" ||
      fail "$locale, $key: decipher.exe's Decrypt.txt is not the plaintext"
    grep -qxFf "$work/order.txt" "$work/expected_order.txt" ||
      fail "$locale, $key: decipher.exe's order line: $(cat "$work/order.txt")"
  fi
done
[ "$failures" -eq 0 ] && echo "console_keys: ${#rows[@]} keys typed, all as -k gives them"
[ "$failures" -eq 0 ]
