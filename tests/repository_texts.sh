#!/usr/bin/env bash
# Texts of the repository that no compiler reads:
#   - README's script commands must work for root on a fresh Debian 12
#     machine, which has no sudo: none starts with sudo (the scripts run
#     apt-get through sudo themselves, and only when not run by root);
#   - the identity lines of the simulated adapters name no adapter model:
#     after the prefix the reply reader watches for ("AtermIT", "INS") comes
#     a blank.
#
#   repository_texts.sh SOURCE_FOLDER
set -uo pipefail
cd "$1"
status=0
if grep -nE '^ +sudo +(bash +)?scripts/' README.md; then
    echo "README.md: a script command above starts with sudo, which root on a fresh machine lacks"
    status=1
fi
if grep -rnE '"(AtermIT|INS)[^ "]' src tools bench scripts; then
    echo "an identity line above names more than the prefix the reader watches for"
    status=1
fi
exit $status
