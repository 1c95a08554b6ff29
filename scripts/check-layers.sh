#!/usr/bin/env bash
# Fails when a source file includes a layer above its own. Layers, bottom up:
#   core:  base < catalogue, ftp < scan   (catalogue and ftp never include each other)
#   gui:   widgets < browse, ftp < app    (browse and ftp never include each other)
#   web:   over the core only; the command-line twin serves it
# The core never includes the GUI, the web server or the command-line twin.
set -uo pipefail
cd "$(dirname "$0")/../src"
status=0
forbid() { # folder, pattern of includes it must not have
  local hits
  hits=$(grep -rnE "#include \"($2)" "$1" 2>/dev/null)
  if [ -n "$hits" ]; then echo "$1 includes upward:"; echo "$hits"; status=1; fi
}
forbid core/base      'core/(catalogue|ftp|scan)/|app/|browse/|widgets/|cli/|web/'
forbid core/catalogue 'core/(ftp|scan)/|app/|browse/|widgets/|cli/|web/'
forbid core/ftp       'core/(catalogue|scan)/|app/|browse/|widgets/|cli/|web/'
forbid core/scan      'app/|browse/|widgets/|cli/|web/'
forbid web           'app/|browse/|widgets/|gui/|cli/'
forbid gui/widgets    'app/|browse/|ftp/'
forbid gui/browse     'app/|ftp/'
forbid gui/ftp        'app/|browse/'
grep -rlE '#include <(QtWidgets|QWidget|QMessageBox|QApplication)' core web && { echo "core or web uses Qt Widgets"; status=1; }
[ $status -eq 0 ] && echo "layers hold"
exit $status
