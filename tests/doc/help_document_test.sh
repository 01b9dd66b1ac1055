#!/usr/bin/env bash
# The help document built beside the program names every command-line switch
# and every page of both sheets, as the operator reads them in the PDF:
#   help_document_test.sh "PATH/ZarqSMS Lite.pdf"
set -u
pdf=$1
failed=0 passed=0
check() { if [ "$1" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $2"; fi; }

[ -s "$pdf" ]; check $? "$pdf exists"
text=$(pdftotext "$pdf" - 2>/dev/null | tr -s ' \n\t' '   ')
[ ${#text} -gt 5000 ]; check $? "the document has text (${#text} characters)"

# Every form the program accepts, "-" and "/", long and short.
switches=(-QUIET /QUIET /Q -Q -STOPSERVICE /STOPSERVICE -STARTSERVICE /STARTSERVICE
          -RESTARTSERVICE /RESTARTSERVICE -INSTALLSERVICE /INSTALLSERVICE /I -I
          -REMOVESERVICE /REMOVESERVICE /R -R -DELETEDATADIR /DELETEDATADIR
          -MODEMTEST /MODEMTEST -WIZARD /WIZARD)
for s in "${switches[@]}"; do
  grep -qF -- " $s" <<<" $text"; check $? "switch $s"
done

# The wizard's steps by their titles, the configuration sheet's tabs, and
# the dialogs the pages open.
pages=("ZarqSMS Lite Setup Wizard: Select Modem" "ZarqSMS Lite Setup Wizard: Modem Settings"
       "ZarqSMS Lite Setup Wizard: Server Settings" "ZarqSMS Lite Setup Wizard: Configuration Complete"
       "ZarqSMS Lite Setup Wizard: Send Test Message"
       Status Modem Server Users 2-Way "Test Message" "Debug Logs"
       "Add Modem" "Outbound SMS Queue" "Outbound MMS Queue" "Received SMS Messages"
       "Received MMS Messages" "MMS Message Details" "Event Log" "2-Way SMS Command"
       "Configure MM7 Receiver")
for p in "${pages[@]}"; do
  grep -qF -- "$p" <<<"$text"; check $? "page \"$p\""
done

# Every verdict of the modem test and of the connection test has its advice.
verdicts=("Modem successfully tested!" "Modem supports text messages only."
          "Unable to access modem, ensure that it is powered on and passes diagnostic tests."
          "Invalid PIN" "Error initializing modem" "Error initialising modem" "Modem does not support SMS"
          "Modem does not properly support command for sending SMS (AT+CMGS)"
          "Modem does not support SMS text or PDU mode commands"
          "Connection Test OK!" "Unable to connect to WAP Gateway" "Connection Failed"
          "Unable to allocate modem, modem in use by ZarqSMS" "Please restart your system before continuing"
          "Administrative rights are required for this test." "Internal Error")
for v in "${verdicts[@]}"; do
  grep -qF -- "$v" <<<"$text"; check $? "verdict \"$v\""
done

echo "help document: $passed passed, $failed failed"
[ $failed -eq 0 ]
