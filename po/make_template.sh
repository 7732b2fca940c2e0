#!/usr/bin/env bash
# Makes the message template from the sources: po/decipher.pot, or the file named by $1.
# po/ru.po follows it with: msgmerge --update --backup=none po/ru.po po/decipher.pot
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(decipher VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
bugs=$(sed -n 's/.*<\(.*@.*\)>.*/\1/p' cmake/packaging.cmake)
xgettext --language=C++ --from-code=UTF-8 --keyword= --keyword=tr --keyword=tr_plural:2,3 \
  --keyword=tr_noop --add-comments=TRANSLATORS: --add-location=file \
  --package-name=decipher --package-version="$version" --msgid-bugs-address="$bugs" \
  --output="${1:-po/decipher.pot}" $(LC_ALL=C ls app/*.cpp)
