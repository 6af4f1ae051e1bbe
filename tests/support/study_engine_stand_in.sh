#!/bin/bash
# Stands in for the engine in the tests of the study table. From the model's lighting efficacy E
# and tariff rate R it writes beside the model file it is handed ({model} is ENSEMBLE_MODEL_NAME)
#
#   {model}__summary.csv   two titled blocks with a row of the same name in each, so only the
#                          section tells "Space heat demand" E*10 from E+R
#   {model}__results.csv   a header line, a units line and three steps; the pump column has no
#                          number in the second step
#   out/summary.json       the peak E+R.5, and a bonus only for the rate 20
#
#   STUDY_FAIL_TEXT   a model containing this text fails with status 3, after its outputs
here=$(dirname "$1")
name=${ENSEMBLE_MODEL_NAME-unset}
efficacy=$(grep -o '"efficacy": [0-9]*' "$1" | grep -o '[0-9]*$')
rate=$(grep -o '"rate": [0-9]*' "$1" | grep -o '[0-9]*$')
mkdir -p "$here/out"
printf '%s\n' "Energy Demand Summary" ",Total,Peak" \
  "Space heat demand,$((efficacy * 10)),$((efficacy / 10))" "Net import,$((rate * 3)),$rate.25" \
  "" "Supply Summary" ",Total,Peak" "Space heat demand,$((efficacy + rate)),0" \
  > "$here/${name}__summary.csv"
printf '%s\n' "step,pump: energy,temp" ",kWh,C" "1,$((efficacy / 10)),$rate" \
  "2,n/a,$((rate + 1))" "3,$((efficacy / 20)).5,$((rate - 2))" > "$here/${name}__results.csv"
bonus=
[ "$rate" != 20 ] || bonus=', "bonus": {"kwh": 7}'
printf '{"peak": {"value": %s.5}%s}\n' "$((efficacy + rate))" "$bonus" > "$here/out/summary.json"
if [ -n "${STUDY_FAIL_TEXT-}" ] && grep -qF -- "$STUDY_FAIL_TEXT" "$1"; then
  exit 3
fi
exit 0
