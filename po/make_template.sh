#!/usr/bin/env bash
# Makes the message template from the sources, the tools' and the web page's: po/decipher.pot, or
# the file named by $1.
# po/ru.po follows it with: msgmerge --update --backup=none po/ru.po po/decipher.pot, and the
# tables with: python3 po/make_catalog.py --javascript web/russian_messages.js
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(decipher VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
bugs=$(sed -n 's/.*<\(.*@.*\)>.*/\1/p' cmake/packaging.cmake)
output=${1:-po/decipher.pot}
keywords=(--from-code=UTF-8 --keyword= --keyword=tr --keyword=tr_plural:2,3 --keyword=tr_noop
  --add-comments=TRANSLATORS: --add-location=file)
# The page's core marks its own notes told(text); the texts it places, the tools have too. The
# notes both give are counted_note(n, one, many) where they are plural.
xgettext --language=C++ "${keywords[@]}" \
  --package-name=decipher --package-version="$version" --msgid-bugs-address="$bugs" \
  --keyword=told --keyword=counted_note:2,3 --output="$output" \
  $(LC_ALL=C ls app/*.cpp) web/core_api.cpp
xgettext --language=JavaScript "${keywords[@]}" --join-existing --output="$output" web/app.js
# The page's data-tr labels as tr_noop calls on their own lines, read from a copy under the same
# name so the template points at web/index.html.
html=$(mktemp -d)
trap 'rm -rf "$html"' EXIT
mkdir "$html/web"
sed -n 's/.*data-tr="\([^"]*\)".*/tr_noop("\1");/p' web/index.html > "$html/web/index.html"
xgettext --language=JavaScript "${keywords[@]}" --join-existing --output="$output" \
  --directory="$html" web/index.html
