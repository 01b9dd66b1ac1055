-- Pictures of the help document come from docs/screenshots (ZARQ_SCREENSHOTS).
-- A picture that has not been taken yet is left out with its caption: the
-- document never shows a placeholder.
local dir = os.getenv("ZARQ_SCREENSHOTS") or "."

function Image(img)
  local name = img.src:match("[^/\\]+$")
  local path = dir .. "/" .. name
  local f = io.open(path, "rb")
  if not f then
    io.stderr:write("help: no picture " .. name .. " yet, left out\n")
    return {}
  end
  f:close()
  img.src = path
  return img
end
