#!/usr/bin/env bash
# LayersCheckTest.sh CHECK: runs the sub-folder layer check over small made-up trees and fails
# when the check passes an upward include or a knot of sub-folders, refuses a downward
# include, or fails without naming the file and the include.
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# files planted under src/ ("file>what it includes", space-separated; an include in angle
# brackets is planted so, any other in quotes) | expected exit status | what a failure names
# (by default the first file and its include)
cases=(
  "workflow/folders/A.cpp>workflow/processing/KOVA_JobProcessor.h|1"
  "workflow/jobs/A.cpp>workflow/packages/KOVA_Package.h|1"
  "workflow/KOVA.cpp>workflow/jobs/KOVA_Job.h|1"
  "workflow/elsewhere/A.cpp>workflow/KOVA.h|1|src/workflow/elsewhere/A.cpp: the sub-folder 'elsewhere'"
  "core/foundation/A.cpp>core/image/ImageProperties.h|1"
  "core/logging/A.cpp>core/foundation/ZORVAK_NSDateAdditions.h|1"
  "core/A.h>core/text/AttributedString.h|1|src/core/A.h: the sub-folder '.'"
  "printing/dnp/A.h>printing/pages/ZORVAK_PrintPage.h|1"
  "printing/pages/A.cpp>printing/ui/ZORVAK_PrintPanel.h|1"
  "platform/files/A.cpp>platform/defaults/UserDefaults.h|1"
  "platform/files/A.cpp><platform/ipc/DBus.h>|1|src/platform/files/A.cpp: includes platform/ipc/DBus.h"
  "workflow/jobs/A.h><workflow/delivery/KOVA_DefaultDeliveries.h>|1|src/workflow/jobs/A.h: includes workflow/delivery"
  "helper/lib/A.cpp>helper/B.h|1"
  "app/processor/A.cpp>app/delegate/AppDelegate.h|1"
  "app/A.cpp>app/preferences/PreferencesWindowController.h|1"
  "editor/canvas/A.h>editor/edits/KOVA_TemplateEditorEdits.h|1"
  "editor/edits/A.cpp>editor/window/KOVA_TemplateEditor.h|1"
  "newlibrary/A.cpp>newlibrary/B.h|1|src/newlibrary: the library has no order"
  "core/text/A.cpp>core/image/B.h core/image/B.cpp>core/text/A.h|1|src/core: the sub-folders text image include each other"
  "workflow/folders/A.cpp>workflow/jobs/KOVA_Job.h|0"
  "workflow/processing/A.cpp>workflow/delivery/KOVA_PrintPicturesCleaner.h|0"
  "core/image/A.cpp>core/foundation/ZORVAK_Extras_NSURL.h|0"
  "core/ui/A.cpp>core/queues/ZORVAK_Dispatch.h|0"
  "printing/pages/A.cpp>printing/dnp/DNPTableLookup.h|0"
  "platform/files/A.cpp>platform/Error.h|0"
  "platform/ipc/A.cpp><platform/files/FileOperations.h>|0"
  "service/main.cpp>service/engine/KOVA_RenderingEngine.h|0"
  "template/A.cpp>core/image/ZORVAK_Image.h|0"
  "app/delegate/A.cpp>app/processor/ProcessorWindow.h|0"
  "editor/window/A.cpp>editor/canvas/KOVA_TemplateEditorView.h|0"
)
failures=0
for entry in "${cases[@]}"; do
  IFS='|' read -r plants expected named <<< "$entry"
  tree=$work/$RANDOM$RANDOM
  for plant in $plants; do
    mkdir -p "$(dirname "$tree/src/${plant%%>*}")"
    included=${plant#*>}
    [[ $included == "<"* ]] || included="\"$included\""
    printf '#include %s\n' "$included" > "$tree/src/${plant%%>*}"
  done
  first=${plants%% *}
  named=${named:-"src/${first%%>*}: includes ${first#*>}"}
  bash "$check" "$tree" > "$tree.out" 2>&1
  status=$?
  if [ "$status" -ne "$expected" ] || { [ "$expected" -eq 1 ] && ! grep -qF "$named" "$tree.out"; }; then
    echo "$plants: exit status $status, expected $expected$([ "$expected" -eq 1 ] && echo " naming \"$named\"")"
    cat "$tree.out"
    failures=$((failures + 1))
  fi
done
[ $failures -eq 0 ] && echo "the check told every case right (${#cases[@]})"
exit $((failures > 0))
