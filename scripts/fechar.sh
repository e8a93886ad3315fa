#!/bin/sh
# Started by Brisfold, detached and without a terminal, when its database cannot be opened.
# It gives support something to look at: what the database folder holds and who may use it,
# written next to the program, and a desktop notice when one can be shown.
here=$(CDPATH= cd -- "$(dirname -- "$0")" && pwd)
report="$here/suporte-banco.txt"
{
    echo "Brisfold: o banco de dados não pôde ser aberto em $(date '+%d/%m/%Y %H:%M:%S')"
    echo "Pasta do programa: $here"
    ls -la "$here/BD" 2>&1
    df -h "$here" 2>&1
} > "$report" 2>&1
if command -v notify-send >/dev/null 2>&1; then
    notify-send "Brisfold" "Erro no banco de dados. Avise o suporte. Detalhes em $report" 2>/dev/null
fi
exit 0
