#!/usr/bin/env bash
# The demonstration: installs what is missing, builds, makes the embedded demo server (a
# catalogue with sample documents, the connection registry and a sales database), then runs the
# city report with its stored call schema through dornel. The workbook's path is printed, and
# the workbook is opened when a desktop is present.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)" --target dornel orra-demo orrasql

build/tools/orrademo/orra-demo
echo "Running the city report (call schema 1: Ankara, 2000 and over)…"
build/launcher/dornel /server:demo /db:catalogue '/docid:root\Satış\Raporlar\Şehir raporu' /schemaid:1
